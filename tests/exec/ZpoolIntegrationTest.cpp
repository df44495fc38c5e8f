// The worker and the privileged helper against the real zpool (zfs-fuse), on
// a pool of this test's own over sparse files behind /dev/diskN links.
#include "app/Notifications.h"
#include "exec/Platform.h"
#include "exec/PrivilegedSession.h"
#include "exec/RunCMD.h"
#include "exec/ZpoolCMD.h"
#include "support/LogCapture.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <functional>
#include <unistd.h>

namespace {
const QString zpoolPath = QStringLiteral("/usr/sbin/zpool");

QString zpool(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(zpoolPath, args);
    p.waitForFinished(-1);
    return QString::fromUtf8(p.readAll());
}

bool isMounted(const QString& pool)
{
    QFile f("/proc/self/mountinfo");
    f.open(QIODevice::ReadOnly);
    return f.readAll().contains(" /" + pool.toUtf8() + " ");
}

// zfs-fuse may call a pool busy for a moment after a mount, or while another
// process on this shared machine looks at its mount point.
template <typename Done>
bool retry(Done done, const std::function<void()>& step = {})
{
    for (int i = 0; i < 40; ++i) {
        if (step)
            step();
        if (done())
            return true;
        QThread::msleep(250);
    }
    return false;
}

const QString prefix = QStringLiteral("tarnwell_exec_it_");

bool processGone(const QString& pid)
{
    return ::kill(pid_t(pid.toInt()), 0) == -1 && errno == ESRCH;
}

// What an earlier run of this test left behind when it crashed: pools and
// /dev links named after a process that no longer exists.
void removeLeftovers()
{
    const QRegularExpression ours("\\b(" + prefix + "(\\d+)_\\d+)\\b");
    for (auto m = ours.globalMatch(zpool({"import"})); m.hasNext();) {
        const auto match = m.next();
        if (processGone(match.captured(2)))
            zpool({"import", match.captured(1)});
    }
    for (auto m = ours.globalMatch(zpool({"list"})); m.hasNext();) {
        const auto match = m.next();
        if (processGone(match.captured(2)))
            zpool({"destroy", "-f", match.captured(1)});
    }
    const QRegularExpression dir("^" + QRegularExpression::escape(QDir::tempPath() + "/" + prefix) +
                                 "(\\d+)-[^/]+");
    for (const QFileInfo& link :
         QDir("/dev").entryInfoList({"disk*"}, QDir::Files | QDir::System)) {
        const auto match = dir.match(link.symLinkTarget());
        if (link.isSymLink() && match.hasMatch() && processGone(match.captured(1))) {
            QFile::remove(link.filePath());
            QDir(match.captured(0)).removeRecursively();
        }
    }
}

class RealZpool : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (geteuid() != 0 || !QFileInfo::exists(zpoolPath) || !QFileInfo::exists("/dev/fuse"))
            return;
        QProcess::execute(TARNWELL_SOURCE_DIR "/tools/zfs-daemon", {"start"});
        removeLeftovers();
    }

    void SetUp() override
    {
        if (geteuid() != 0 || !QFileInfo::exists(zpoolPath) || !QFileInfo::exists("/dev/fuse"))
            GTEST_SKIP() << "needs root, zfs-fuse and /dev/fuse";
        pool = prefix + QStringLiteral("%1_%2").arg(getpid()).arg(++serial);
        for (int i = 0; i < 2; ++i) {
            const QString file = files.filePath(QStringLiteral("vdev%1").arg(i));
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_TRUE(f.resize(128 * 1024 * 1024));  // sparse
            f.close();
            // The first free /dev/diskN from 96 on; symlink() fails on a taken name.
            for (int n = 96; n < 1000; ++n) {
                const QString link = QStringLiteral("/dev/disk%1").arg(n);
                if (::symlink(QFile::encodeName(file).constData(),
                              QFile::encodeName(link).constData()) == 0) {
                    links << link;
                    break;
                }
                ASSERT_EQ(errno, EEXIST);
            }
        }
        ASSERT_EQ(links.size(), 2);
    }

    void TearDown() override
    {
        // Only this test's pool, whatever state the test left it in.
        if (!pool.isEmpty() && zpool({"import"}).contains("pool: " + pool))
            zpool({"import", pool});
        if (!pool.isEmpty())
            retry([&] { return !zpool({"list"}).contains(pool); },
                  [&] {
                      zpool({"destroy", "-f", pool});
                  });
        for (const QString& link : links)
            QFile::remove(link);
        PrivilegedSession::instance().reset();
        PrivilegedSession::instance().setForceElevation(false);
    }

    void createPool()
    {
        const QString out = zpool(QStringList{"create", "-f", pool} + links);
        ASSERT_TRUE(zpool({"list"}).contains(pool)) << qPrintable(out);
    }

    QString pool;
    QStringList links;
    QTemporaryDir files{QDir::tempPath() + "/" + prefix + QString::number(getpid()) + "-XXXXXX"};
    NotificationCenter center;
    static inline int serial = 0;
};
}  // namespace

TEST_F(RealZpool, ListShowsThePoolOnlyWhileItExists)
{
    ZpoolCMD worker(center);
    worker.setZpoolPath(zpoolPath);
    QList<UserInfo> posted;
    center.addObserver(Notifications::ZpoolCMDFinish, nullptr,
                       [&](const Notification& n) { posted << n.userInfo; });

    EXPECT_FALSE(worker.runCMD("LIST").contains(pool));
    createPool();
    const QString list = worker.runCMD("LIST");
    EXPECT_TRUE(list.contains(pool)) << qPrintable(list);
    EXPECT_TRUE(list.contains("NAME")) << qPrintable(list);
    ASSERT_EQ(posted.size(), 2);
    EXPECT_EQ(posted[1], (UserInfo{{"CMD", "LIST"}, {"isRoot", "NO"}}));
}

TEST_F(RealZpool, AdministratorVerbsThroughTheHelper)
{
    // Elevated the way a user's session would be, with a stand-in for pkexec
    // that starts the real helper.
    QTemporaryDir dir;
    const QString elevator = writeShellScript(dir.path(), "elevator",
                                              "echo x >> \"$(dirname \"$0\")/asked\"\n"
                                              "PKEXEC_UID=$(id -u) exec \"$@\"\n");
    PrivilegedSession& session = PrivilegedSession::instance();
    session.reset();
    session.setForceElevation(true);
    session.setElevator({elevator});
    session.setHelperPath(TARNWELL_BINARY_DIR "/src/tarnwell-helper");
    LogCapture log;
    ZpoolCMD worker(center);
    worker.setZpoolPath(zpoolPath);
    createPool();

    worker.runCMD("EJECT", pool);
    EXPECT_FALSE(worker.runCMD("LIST").contains(pool));
    EXPECT_TRUE(worker.runCMD("LIST EJECTED").contains(pool));

    worker.runCMD("MOUNT", pool);
    EXPECT_TRUE(worker.runCMD("LIST").contains(pool));
    ASSERT_TRUE(retry([&] { return isMounted(pool); }));

    // The new pool's mount point goes to the user, as after a creation.
    RunCMD().runCmdAsAdmin(
        Platform::chownPath(),
        {"-R", Platform::userName() + ":" + Platform::primaryGroupName(), "/" + pool});

    EXPECT_TRUE(retry([&] { return !worker.runCMD("LIST").contains(pool); },
                      [&] { worker.runCMD("DELETE", pool); }));
    EXPECT_FALSE(worker.runCMD("LIST EJECTED").contains(pool));

    EXPECT_EQ(log.count("Something went wrong"), 0) << qPrintable(log.lines().join('\n'));
    EXPECT_EQ(session.authorizationCount(), 1);
}
