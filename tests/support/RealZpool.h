#pragma once
// The real zpool (zfs-fuse here) for the tests labelled zpool: pools of a
// test's own on sparse files that /dev/diskN links name like whole disks.
// What a test makes goes with it, also when it fails; what a crashed run left
// (names that carry a process id that is gone) goes at the next start.
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QDirIterator>
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
inline QString run(const QStringList& args)
{
    return runTool(path, args);
}

inline bool listed(const QString& pool)
{
    return run({"list", "-H", "-o", "name"}).split(u'\n').contains(pool);
}

// Only ever called with names of our own; an ejected pool is imported first.
// zfs-fuse calls a pool busy for a while after an import or a resilver, or
// while someone looks at its mount point.
inline void destroy(const QString& pool)
{
    if (!listed(pool) && run({"import"}).contains(QRegularExpression("pool: " + pool + "\\s")))
        run({"import", "-f", pool});
    for (int i = 0; i < 40 && listed(pool); ++i) {
        run({"destroy", "-f", pool});
        QThread::msleep(100);
    }
}

inline void removeLeftovers()
{
    auto gone = [](const QString& pid) { return ::kill(pid_t(pid.toInt()), 0) != 0 && errno == ESRCH; };
    for (auto m = QRegularExpression("\\b(" + prefix + "(\\d+)_\\d+)\\b").globalMatch(run({"list"}) + run({"import"}));
         m.hasNext();) {
        const auto match = m.next();
        if (gone(match.captured(2)))
            destroy(match.captured(1));
    }
    const QRegularExpression ours("^(" + QRegularExpression::escape(QDir::tempPath() + "/" + prefix) + "(\\d+)-\\w+)/");
    for (QDirIterator it("/dev", {"disk*"}, QDir::System | QDir::Files); it.hasNext();) {
        const QFileInfo link(it.next());
        const auto match = ours.match(link.symLinkTarget());
        if (link.isSymLink() && match.hasMatch() && gone(match.captured(2))) {
            QFile::remove(link.filePath());
            QDir(match.captured(1)).removeRecursively();
        }
    }
}

// Why the real tool cannot be used here, or "" when it can. Starts the
// daemon and clears leftovers once per process.
inline QString unavailable()
{
    if (::geteuid() != 0 || !QFileInfo::exists(path) || !QFileInfo::exists("/dev/fuse"))
        return QStringLiteral("needs root, zfs-fuse and /dev/fuse");
    static const bool prepared = [] {
        QProcess::execute(QStringLiteral(TARNWELL_SOURCE_DIR "/tools/zfs-daemon"), {"start"});
        removeLeftovers();
        return true;
    }();
    Q_UNUSED(prepared);
    return run({"list"}).contains("connect") ? QStringLiteral("the zfs-fuse daemon does not answer") : QString();
}

// A test's own sparse disks and pools, removed with it.
class Scratch {
public:
    explicit Scratch(int disks)
    {
        for (int i = 0; i < disks; ++i) {
            const QString file = files_.filePath(QStringLiteral("vdev%1").arg(i));
            QFile f(file);
            if (!f.open(QIODevice::WriteOnly) || !f.resize(128LL << 20))
                return;
            // The first free number from 90 on; symlink() fails on a taken one.
            for (int n = 90; n < 1000 && links_.size() == i; ++n) {
                if (::symlink(QFile::encodeName(file), QFile::encodeName(QStringLiteral("/dev/disk%1").arg(n))) == 0)
                    links_ << QStringLiteral("/dev/disk%1").arg(n);
            }
        }
    }
    ~Scratch()
    {
        for (const QString& pool : std::as_const(pools_))
            destroy(pool);
        for (const QString& link : std::as_const(links_))
            QFile::remove(link);
    }
    bool ok(int disks) const { return links_.size() == disks; }

    QString dev(int i) const { return links_.value(i); }  // "/dev/disk93"
    QString disk(int i) const { return dev(i).mid(5); }   // "disk93"
    QStringList devs(int from, int count) const { return links_.mid(from, count); }
    // The disk is pulled: its link goes, its number is free for others.
    void pull(int i)
    {
        QFile::remove(links_[i]);
        links_[i].clear();
    }

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
    QTemporaryDir files_{QDir::tempPath() + "/" + prefix + QString::number(::getpid()) + "-XXXXXX"};
    QStringList links_;
    QStringList pools_;
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
    void TearDown() override { scratch.reset(); }
    std::unique_ptr<Scratch> scratch;

private:
    int disks_;
};

}  // namespace RealZpool
