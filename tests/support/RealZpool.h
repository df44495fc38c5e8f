#pragma once
// The real zpool (zfs-fuse here): pools of a test's own on loop devices over
// sparse files, named by /dev/diskN links like whole disks. They go with the
// test, also when it fails; what a crashed run left goes at the next start.
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace RealZpool {

inline const QString path = QStringLiteral("/usr/sbin/zpool");
inline const QString prefix = QStringLiteral("tarnwell_it_");

// The tool's stdout and stderr together, in the C locale.
inline QString run(const QStringList& args) { return runTool(path, args); }
inline bool listed(const QString& pool) { return run({"list", "-H", "-o", "name"}).split(u'\n').contains(pool); }

// Only ever called with names of our own; an ejected pool is imported first.
// zfs-fuse calls a pool busy for a while after an import or a resilver, or
// while someone looks at its mount point.
inline void destroy(const QString& pool)
{
    if (!listed(pool) && run({"import"}).contains(QRegularExpression("pool: " + pool + "\\s")))
        run({"import", "-f", pool});
    // zfs-fuse may call a pool busy for several seconds after a long scrub.
    for (int i = 0; i < 150 && listed(pool); ++i) {
        run({"destroy", "-f", pool});
        QThread::msleep(100);
    }
}

// The file a loop device ("/dev/loop3") is attached to; "" when it is free.
inline QString loopBacking(const QString& dev)
{
    QFile f("/sys/block/" + QFileInfo(dev).fileName() + "/loop/backing_file");
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()).trimmed() : QString();
}

inline void detachLoop(const QString& dev, const QString& file)  // only while still on our file
{
    if (!dev.isEmpty() && loopBacking(dev) == file)
        runTool("/usr/sbin/losetup", {"--detach", dev});
}

inline void removeLeftovers()
{
    auto gone = [](const QString& pid) { return ::kill(pid_t(pid.toInt()), 0) != 0 && errno == ESRCH; };
    for (auto m = QRegularExpression("\\b(" + prefix + "(\\d+)_\\d+)\\b").globalMatch(run({"list"}) + run({"import"}));
         m.hasNext();) {
        if (const auto match = m.next(); gone(match.captured(2)))
            destroy(match.captured(1));
    }
    const QString tmp = QFileInfo(QDir::tempPath()).canonicalFilePath();  // as the kernel names files
    const QRegularExpression ours("^" + QRegularExpression::escape(tmp + "/" + prefix) + "(\\d+)-");
    auto dead = [&](const QString& path) { const auto m = ours.match(path); return m.hasMatch() && gone(m.captured(1)); };
    // By name, links (disk*) before loop devices: a link to a free loop device says no more whose it was.
    for (const QFileInfo& f : QDir("/dev").entryInfoList({"disk*", "loop*"}, QDir::System | QDir::Files, QDir::Name)) {
        const QString file = loopBacking(f.isSymLink() ? f.symLinkTarget() : f.filePath());
        if (dead(file))
            f.isSymLink() ? void(QFile::remove(f.filePath())) : detachLoop(f.filePath(), file);
    }
    for (const QFileInfo& d : QDir(tmp).entryInfoList({prefix + "*"}, QDir::Dirs))
        if (dead(d.filePath()))
            QDir(d.filePath()).removeRecursively();
}

// Why the real tool cannot be used here, or "" when it can. Starts the
// daemon and clears leftovers once per process.
inline QString unavailable()
{
    if (::geteuid() != 0 || !QFileInfo::exists(path) || !QFileInfo::exists("/dev/fuse") ||
        !QFileInfo::exists("/dev/loop-control"))
        return QStringLiteral("needs root, zfs-fuse, /dev/fuse and loop devices");
    [[maybe_unused]] static const bool prepared = [] {
        QProcess::execute(QStringLiteral(TARNWELL_SOURCE_DIR "/tools/zfs-daemon"), {"start"});
        removeLeftovers();
        return true;
    }();
    return run({"list"}).contains("connect") ? QStringLiteral("the zfs-fuse daemon does not answer") : QString();
}

// A test's own disks (loop devices over sparse files) and pools, removed with it.
class Scratch {
public:
    explicit Scratch(int disks)
    {
        for (int i = 0; i < disks; ++i) {
            QFile f(file(i));
            if (!f.open(QIODevice::WriteOnly) || !f.resize(128LL << 20))
                return;
            const QString loop = runTool("/usr/sbin/losetup", {"--find", "--show", file(i)}).trimmed();
            if (loopBacking(loop) != file(i))
                return;
            loops_ << loop;
            // The first free number from 90 on; symlink() fails on a taken one.
            for (int n = 90; n < 1000 && links_.size() == i; ++n) {
                if (::symlink(QFile::encodeName(loop), QFile::encodeName(QStringLiteral("/dev/disk%1").arg(n))) == 0)
                    links_ << QStringLiteral("/dev/disk%1").arg(n);
            }
        }
    }
    // The disks go with their links and loop devices; their numbers are free for others.
    ~Scratch()
    {
        for (const QString& pool : std::as_const(pools_))
            destroy(pool);
        for (const QString& link : std::as_const(links_))
            QFile::remove(link);
        for (int i = 0; i < loops_.size(); ++i)
            detachLoop(loops_[i], file(i));
    }
    bool ok(int disks) const { return links_.size() == disks; }

    QString dev(int i) const { return links_.value(i); }  // "/dev/disk93"
    QString disk(int i) const { return dev(i).mid(5); }   // "disk93"
    QStringList devs(int from, int count) const { return links_.mid(from, count); }

    // A pool name of our own: the pool, once made, goes with us.
    QString newPool()
    {
        static int serial = 0;
        pools_ << prefix + QStringLiteral("%1_%2").arg(::getpid()).arg(++serial);
        return pools_.last();
    }
    QString createPool(const QStringList& vdevs)
    {
        const QString pool = newPool();
        const QString out = run(QStringList{"create", "-f", pool} + vdevs);
        EXPECT_TRUE(listed(pool)) << out.toStdString();
        return pool;
    }
    // zfs-fuse's zpool behind the OpenZFS form the product uses: no "status -L".
    QString openZfsWrapper() const
    {
        return writeShellScript(files_.path(), "zpool",
                                ("if [ \"$1\" = status ] && [ \"$2\" = -L ]; then shift 2; exec " + path +
                                 " status \"$@\"; fi\nexec " + path + " \"$@\"\n")
                                    .toUtf8());
    }

private:
    QString file(int i) const { return QFileInfo(files_.path()).canonicalFilePath() + "/vdev" + QString::number(i); }

    QTemporaryDir files_{QDir::tempPath() + "/" + prefix + QString::number(::getpid()) + "-XXXXXX"};
    QStringList loops_, links_, pools_;
};

// A test on the real tool with its own sparse disks; skipped where the tool is missing.
class Test : public ::testing::Test {
protected:
    explicit Test(int disks) : disks_(disks) {}
    void SetUp() override
    {
        const QString why = unavailable();
        if (!why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        scratch = std::make_unique<Scratch>(disks_);
        ASSERT_TRUE(scratch->ok(disks_)) << "no free /dev/diskN";
    }
    std::unique_ptr<Scratch> scratch;

private:
    int disks_;
};

}  // namespace RealZpool
