// Creating a pool through the device window against the real zpool
// (zfs-fuse), over sparse files behind /dev/disk80../dev/disk83, with the
// administrator runs going through the real helper.
#include "create/widgets/TBInfoWindow.h"

#include "PanelFixture.h"
#include "app/Notifications.h"
#include "create/PoolMountPoint.h"
#include "create/RaidCreator.h"
#include "create/widgets/DiskTableViewController.h"
#include "devices/FixtureRegistry.h"
#include "exec/PrivilegedSession.h"
#include "support/FakeTool.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString zpoolPath = QStringLiteral("/usr/sbin/zpool");
const QString prefix = QStringLiteral("tarnwell_create_it_");
// The fixture's second enclosure holds disk80 to disk83; these numbers are ours.
const int firstDisk = 80;
const int diskCount = 4;

QString zpool(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(zpoolPath, args);
    p.waitForFinished(-1);
    return QString::fromUtf8(p.readAll());
}

bool processGone(const QString& pid)
{
    return ::kill(pid_t(pid.toInt()), 0) == -1 && errno == ESRCH;
}

bool available()
{
    return geteuid() == 0 && QFileInfo::exists(zpoolPath) && QFileInfo::exists("/dev/fuse");
}

// What a crashed earlier run left: our pools and links of a process that is gone.
void removeLeftovers()
{
    const QRegularExpression ours("\\b(" + prefix + "(\\d+))\\b");
    for (auto m = ours.globalMatch(zpool({"list"})); m.hasNext();) {
        const auto match = m.next();
        if (processGone(match.captured(2)))
            zpool({"destroy", "-f", match.captured(1)});
    }
    const QRegularExpression dir("^" + QRegularExpression::escape(QDir::tempPath() + "/" + prefix) +
                                 "(\\d+)-[^/]+");
    for (int n = firstDisk; n < firstDisk + diskCount; ++n) {
        const QFileInfo link(QStringLiteral("/dev/disk%1").arg(n));
        const auto match = dir.match(link.symLinkTarget());
        if (link.isSymLink() && match.hasMatch() && processGone(match.captured(1))) {
            QFile::remove(link.filePath());
            QDir(match.captured(0)).removeRecursively();
        }
    }
}

class RealCreate : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!available())
            return;
        QProcess::execute(TARNWELL_SOURCE_DIR "/tools/zfs-daemon", {"start"});
        removeLeftovers();
    }

    void SetUp() override
    {
        if (!available())
            GTEST_SKIP() << "needs root, zfs-fuse and /dev/fuse";
        pool = prefix + QString::number(getpid());
        for (int n = firstDisk; n < firstDisk + diskCount; ++n) {
            const QString file = files.filePath(QStringLiteral("vdev%1").arg(n));
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_TRUE(f.resize(128 * 1024 * 1024));  // sparse
            f.close();
            const QString link = QStringLiteral("/dev/disk%1").arg(n);
            ASSERT_EQ(::symlink(QFile::encodeName(file).constData(), QFile::encodeName(link).constData()), 0)
                << qPrintable(link) << " is taken";
            links << link;
        }
    }

    void TearDown() override
    {
        // Only this test's pool; zfs-fuse may call it busy for a moment.
        for (int i = 0; i < 40 && zpool({"list"}).contains(pool); ++i) {
            zpool({"destroy", "-f", pool});
            QThread::msleep(250);
        }
        for (const QString& link : links)
            QFile::remove(link);
        PrivilegedSession::instance().reset();
        PrivilegedSession::instance().setForceElevation(false);
        PrivilegedSession::instance().setElevator({"/usr/bin/pkexec"});
    }

    QString pool;
    QStringList links;
    QTemporaryDir files{QDir::tempPath() + "/" + prefix + QString::number(getpid()) + "-XXXXXX"};
};
}  // namespace

TEST_F(RealCreate, ThePanelCreatesTheChosenRaidZ)
{
    // The pool is handed to another user than root, so the ownership step
    // shows; a stand-in for pkexec starts the real helper on that user's behalf.
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const uid_t nobodyUid = nobody->pw_uid;
    const group* nobodyGroup = getgrgid(nobody->pw_gid);
    ASSERT_NE(nobodyGroup, nullptr);
    const QString owner = QStringLiteral("nobody:") + QString::fromLocal8Bit(nobodyGroup->gr_name);
    QTemporaryDir tools;
    const QString elevator = writeShellScript(
        tools.path(), "elevator",
        QStringLiteral("PKEXEC_UID=%1 exec \"$@\"\n").arg(nobodyUid).toUtf8());
    PrivilegedSession& session = PrivilegedSession::instance();
    session.reset();
    session.setForceElevation(true);
    session.setElevator({elevator});
    session.setHelperPath(TARNWELL_BINARY_DIR "/src/tarnwell-helper");

    FixtureRegistry registry(TARNWELL_TEST_DATA "/registry/create-two-771.json");
    FakeTool df("df");
    NotificationCenter center;
    AppContext context;
    context.registry = &registry;
    context.center = &center;
    context.dfPath = df.path();
    // No ejector given: the panel uses the platform's own.
    TBInfoWindow window(context);
    window.setZpoolPath(zpoolPath);
    center.addObserver(Notifications::TBDevPopupChange, nullptr,
                       [&](const Notification&) { window.TBDevPopupChange(); });
    center.addObserver(Notifications::CreateRAIDFinish, nullptr,
                       [&](const Notification&) { window.close(); });

    window.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    DiskTableViewController& panel = *window.diskTableViewCtrl();
    panel.raidCreator().setOwner(owner);
    panel.TBDevPopup()->setFocus();
    QTest::keyClick(panel.TBDevPopup(), Qt::Key_Down);
    QTest::keyClick(panel.TBDevPopup(), Qt::Key_Down);  // the second enclosure
    ASSERT_EQ(panel.numberOfRowsInTableView(), 4);
    clickRow(panel, 0);
    clickRow(panel, 1);
    clickRow(panel, 2);
    ASSERT_EQ(panel.RaidModePopup()->currentText(), "RAID-Z");
    QTest::keyClicks(panel.RaidVolumeName(), pool);
    panel.CreateBtn()->click();

    EXPECT_FALSE(window.isVisible());
    const QString list = zpool({"list"});
    ASSERT_TRUE(list.contains(pool)) << qPrintable(list);
    const QString status = zpool({"status", pool});
    EXPECT_TRUE(status.contains("raidz1-0")) << qPrintable(status);
    for (const char* member : {"disk80", "disk81", "disk82"})
        EXPECT_TRUE(status.contains(member)) << member;
    EXPECT_FALSE(status.contains("disk83"));
    EXPECT_EQ(session.authorizationCount(), 1);

    const std::optional<QString> mountPoint = PoolMountPoint::find(pool);
    ASSERT_TRUE(mountPoint.has_value());
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(*mountPoint).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, nobodyUid);
}
