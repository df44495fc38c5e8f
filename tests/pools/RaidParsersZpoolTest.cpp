// The three parsers against the real zpool (zfs-fuse here): a RAID-Z pool with
// one disk offline and a mirror, both on sparse files named through /dev/diskN
// links, then ejected one after the other.
#include "PoolTestText.h"
#include "pools/RaidParsers.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kPrefix = QStringLiteral("tw_pools_");
const QString kFileRoot = QStringLiteral("/tmp/tw-pools-");
constexpr int kFirstDisk = 90;
constexpr int kLastDisk = 299;

struct ToolRun {
    QString out;
    int exitCode = -1;
};

bool alive(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

class RealZpool : public testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root for zfs-fuse";
        zpool_ = QStandardPaths::findExecutable(QStringLiteral("zpool"),
                                                {"/usr/sbin", "/sbin", "/usr/local/sbin", "/usr/local/bin"});
        if (zpool_.isEmpty() || !QFile::exists(QStringLiteral("/dev/fuse")))
            GTEST_SKIP() << "no zpool or no /dev/fuse";
        QProcess::execute(QStringLiteral(TARNWELL_SOURCE_DIR "/tools/zfs-daemon"), {"start"});
        const ToolRun probe = zpool({"list", "-H", "-o", "name"});
        if (probe.exitCode != 0)
            GTEST_SKIP() << "zpool does not answer: " << probe.out.toStdString();

        const QString me = QString::number(::getpid());
        rz_ = kPrefix + me + QStringLiteral("_rz");
        mir_ = kPrefix + me + QStringLiteral("_mir");
        dir_ = kFileRoot + me;
        removeLeftovers();

        ASSERT_TRUE(QDir().mkpath(dir_));
        for (int i = 0; i < 5; ++i) {
            const QString file = dir_ + QStringLiteral("/vdev%1").arg(i);
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(128LL << 20));
            f.close();
            const QString disk = linkFreeDisk(file);
            ASSERT_FALSE(disk.isEmpty()) << "no free /dev/diskN";
            disks_ << disk;
        }
        createPools();
    }

    void TearDown() override
    {
        if (zpool_.isEmpty() || rz_.isEmpty())
            return;
        for (const QString& pool : {rz_, mir_})
            destroyPool(pool);
        for (const QString& disk : std::as_const(disks_))
            QFile::remove(QStringLiteral("/dev/") + disk);
        QDir(dir_).removeRecursively();
    }

    ToolRun zpool(const QStringList& args) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(zpool_, args);
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
        }
        return {QString::fromUtf8(p.readAll()), p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1};
    }

    // Claims the first free /dev/diskN; symlink() fails on a name someone else holds.
    QString linkFreeDisk(const QString& file)
    {
        for (int n = kFirstDisk; n <= kLastDisk; ++n) {
            const QString name = QStringLiteral("disk%1").arg(n);
            if (::symlink(QFile::encodeName(file).constData(),
                          QFile::encodeName(QStringLiteral("/dev/") + name).constData()) == 0)
                return name;
        }
        return {};
    }

    void createPools()
    {
        auto dev = [&](int i) { return QStringLiteral("/dev/") + disks_[i]; };
        ToolRun r = zpool({"create", rz_, "raidz", dev(0), dev(1), dev(2)});
        ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
        r = zpool({"create", mir_, "mirror", dev(3), dev(4)});
        ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
        // zfs-fuse finds a member for offline only by its full path.
        r = zpool({"offline", rz_, dev(2)});
        ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
    }

    void destroyPool(const QString& pool)
    {
        if (!zpool({"list", "-H", "-o", "name", pool}).out.split(u'\n').contains(pool))
            zpool({"import", pool});  // an ejected pool is destroyed once imported
        zpool({"destroy", "-f", pool});
    }

    // Pools, links and files of an earlier run of this test that died.
    void removeLeftovers()
    {
        static const QRegularExpression ours(QStringLiteral("^tw_pools_(\\d+)_(rz|mir)$"));
        auto stale = [&](const QString& pool) {
            const auto m = ours.match(pool);
            return m.hasMatch() && (m.captured(1).toLongLong() == ::getpid() || !alive(m.captured(1).toLongLong()));
        };
        QStringList names = zpool({"list", "-H", "-o", "name"}).out.split(u'\n', Qt::SkipEmptyParts);
        static const QRegularExpression poolLine(QStringLiteral("^\\s*pool: (\\S+)\\s*$"),
                                                 QRegularExpression::MultilineOption);
        for (auto it = poolLine.globalMatch(zpool({"import"}).out); it.hasNext();)
            names << it.next().captured(1);
        for (const QString& pool : std::as_const(names)) {
            if (stale(pool))
                destroyPool(pool);
        }

        static const QRegularExpression ourDir(QStringLiteral("^/tmp/tw-pools-(\\d+)/"));
        QDirIterator links(QStringLiteral("/dev"), {"disk*"}, QDir::System | QDir::Files);
        while (links.hasNext()) {
            const QFileInfo link(links.next());
            const auto m = ourDir.match(link.symLinkTarget() + u'/');
            const qint64 pid = m.hasMatch() ? m.captured(1).toLongLong() : 0;
            if (link.isSymLink() && pid && (pid == ::getpid() || !alive(pid)))
                QFile::remove(link.filePath());
        }
        QDirIterator dirs(QStringLiteral("/tmp"), {"tw-pools-*"}, QDir::Dirs);
        while (dirs.hasNext()) {
            const QString d = dirs.next();
            const qint64 pid = d.mid(kFileRoot.size()).toLongLong();
            if (pid && (pid == ::getpid() || !alive(pid)))
                QDir(d).removeRecursively();
        }
    }

    // The tool's own figures, read twice around the parsed run so that a
    // background sync between them cannot make the comparison flaky.
    QMap<QString, QStringList> scripted() const
    {
        QMap<QString, QStringList> byName;
        const ToolRun r = zpool({"list", "-H", "-o", "name,size,allocated,free,capacity,health"});
        for (const QString& line : r.out.split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split(u'\t');
            if (f.size() == 6)
                byName[f[0]] = f.mid(1);
        }
        return byName;
    }

    RaidList listStable(QMap<QString, QStringList>* figures) const
    {
        RaidList list;
        for (int attempt = 0; attempt < 5; ++attempt) {
            const auto before = scripted();
            list = RaidParsers::ShowRAIDList(zpool({"list"}).out);
            *figures = scripted();
            if (before == *figures)
                break;
            ::usleep(500000);
        }
        return list;
    }

    static RaidInfoPtr find(const RaidList& list, const QString& name)
    {
        for (const RaidInfoPtr& r : list) {
            if (r->Name == name)
                return r;
        }
        return nullptr;
    }

    void expectListMatchesTool(const RaidList& list, const QMap<QString, QStringList>& figures,
                               const QString& pool)
    {
        SCOPED_TRACE(pool.toStdString());
        const RaidInfoPtr r = find(list, pool);
        ASSERT_TRUE(r);
        ASSERT_TRUE(figures.contains(pool));
        const QStringList f = figures[pool];
        EXPECT_EQ(PoolTestText::pool(*r),
                  QStringList({pool, "-", f[0], f[1], f[2], f[3], f[4]}).join(u'|').toStdString());
    }

    std::vector<std::string> members(const RaidList& list, const QString& pool)
    {
        std::vector<std::string> out;
        if (const RaidInfoPtr r = find(list, pool)) {
            out.push_back(PoolTestText::opt(r->RaidMode).toStdString());
            for (const RaidStatusPtr& s : r->Status)
                out.push_back(PoolTestText::member(*s));
        }
        return out;
    }

    std::string row(const QString& disk, const char* state, const char* mode, const QString& pool)
    {
        return QStringList({disk, state, "0", "0", "0", "[]", mode, pool}).join(u'|').toStdString();
    }

    QString zpool_, rz_, mir_, dir_;
    QStringList disks_;
};

TEST_F(RealZpool, ParsersReadWhatTheToolReports)
{
    // Both pools imported; the RAID-Z pool is degraded.
    QMap<QString, QStringList> figures;
    RaidList list = listStable(&figures);
    expectListMatchesTool(list, figures, rz_);
    expectListMatchesTool(list, figures, mir_);
    EXPECT_EQ(figures[rz_].last(), "DEGRADED");
    EXPECT_EQ(figures[mir_].last(), "ONLINE");

    // zfs-fuse has no "status -L"; the product asks for it, the text is the same.
    ASSERT_TRUE(RaidParsers::ShowRAIDStatus(zpool({"status"}).out, list));
    EXPECT_EQ(members(list, rz_),
              (std::vector<std::string>{"RaidZ", row(disks_[0], "ONLINE", "RaidZ", rz_),
                                        row(disks_[1], "ONLINE", "RaidZ", rz_),
                                        row(disks_[2], "OFFLINE", "RaidZ", rz_)}));
    EXPECT_EQ(members(list, mir_),
              (std::vector<std::string>{"Mirror", row("mirror-0", "ONLINE", "Mirror", mir_),
                                        row(disks_[3], "ONLINE", "Mirror", mir_),
                                        row(disks_[4], "ONLINE", "Mirror", mir_)}));

    // Eject the mirror: it leaves the list and comes back from `zpool import`.
    ToolRun r = zpool({"export", mir_});
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
    list = listStable(&figures);
    EXPECT_FALSE(find(list, mir_));
    expectListMatchesTool(list, figures, rz_);
    ASSERT_TRUE(RaidParsers::ShowRAIDStatus(zpool({"status"}).out, list));
    EXPECT_EQ(members(list, rz_).size(), 4u);
    const qsizetype imported = list.size();
    RaidParsers::ShowUnimportRAID(zpool({"import"}).out, list);
    const RaidInfoPtr ejected = find(list, mir_);
    ASSERT_TRUE(ejected);
    EXPECT_GE(list.indexOf(ejected), imported);
    EXPECT_EQ(PoolTestText::pool(*ejected), (mir_ + "|-|-|-|-|-|EJECTED").toStdString());
    EXPECT_TRUE(ejected->Status.isEmpty());

    // Eject the degraded pool too.
    r = zpool({"export", rz_});
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
    list = RaidParsers::ShowRAIDList(zpool({"list"}).out);
    EXPECT_FALSE(find(list, rz_));
    RaidParsers::ShowUnimportRAID(zpool({"import"}).out, list);
    ASSERT_TRUE(find(list, rz_));
    ASSERT_TRUE(find(list, mir_));
    EXPECT_EQ(find(list, rz_)->Health, "DEGRADED EJECTED");
    EXPECT_EQ(find(list, mir_)->Health, "EJECTED");
}

}  // namespace
