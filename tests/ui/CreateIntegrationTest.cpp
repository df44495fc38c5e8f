// Creating a pool through the device window against the real zpool
// (zfs-fuse), with the administrator runs going through the real helper.
#include "ui/TBInfoWindow.h"

#include "PanelFixture.h"
#include "create/PoolMountPoint.h"
#include "create/RaidCreator.h"
#include "support/MainWinHarness.h"
#include "support/RealZpool.h"
#include "support/StandInElevator.h"
#include "zpool/ZpoolCMD.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

namespace {
struct CreateOnRealZpool : RealZpool::Test {
    CreateOnRealZpool() : RealZpool::Test(4) {}
};
}  // namespace

TEST_F(CreateOnRealZpool, ThePanelCreatesTheChosenRaidZ)
{
    // The pool goes to another user than root, so the ownership step shows;
    // pkexec's stand-in starts the real helper on that user's behalf.
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const uid_t nobodyUid = nobody->pw_uid;
    const group* nobodyGroup = getgrgid(nobody->pw_gid);
    ASSERT_NE(nobodyGroup, nullptr);
    StandInElevator elevator(nobodyUid);

    // Our four disks sit in the second of two enclosures.
    FixtureEnclosure ours{1002, 1, {}};
    for (int i = 0; i < 4; ++i)
        ours.disks << FixtureDisk{QStringLiteral("Slot-%1").arg(QChar('A' + i)), scratch->disk(i), 0};
    MainWinHarness h({{1001, 0, {}}, ours});
    h.context.diskEjector = nullptr;  // the platform's own
    TBInfoWindow window(h.context);
    window.setZpoolPath(RealZpool::path);
    h.center.addObserver(Notifications::TBDevPopupChange, nullptr, [&](const Notification&) { window.TBDevPopupChange(); });
    window.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(settle(h.worker));
    DiskTableViewController* panel = window.diskTableViewCtrl();
    // zfs-fuse knows no "status -L": the check reads through the wrapper.
    panel->raidCreator().setPoolsLookup([&] {
        ZpoolCMD zpool(h.center);
        zpool.setZpoolPath(scratch->openZfsWrapper());
        return PoolRefresh::readPools(zpool, false);
    });
    panel->raidCreator().setOwner(QStringLiteral("nobody:") + QString::fromLocal8Bit(nobodyGroup->gr_name));
    panel->TBDevPopup()->setFocus();
    QTest::keyClick(panel->TBDevPopup(), Qt::Key_Down);
    QTest::keyClick(panel->TBDevPopup(), Qt::Key_Down);
    ASSERT_EQ(panel->numberOfRowsInTableView(), 4);

    const QString pool = scratch->newPool();
    for (int row : {0, 1, 2})
        clickRow(*panel, row);
    panel->RaidVolumeName()->setText(pool);
    panel->CreateBtn()->click();
    ASSERT_TRUE(settle(h.worker, 60000));

    ASSERT_TRUE(RealZpool::listed(pool));
    const QString status = RealZpool::run({"status", pool});
    EXPECT_TRUE(status.contains("raidz1-0")) << qPrintable(status);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(status.contains(scratch->disk(i))) << i;
    EXPECT_FALSE(status.contains(scratch->disk(3)));
    EXPECT_EQ(elevator.asked(), 1);

    const std::optional<QString> mountPoint = PoolMountPoint::find(pool);
    ASSERT_TRUE(mountPoint.has_value());
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(*mountPoint).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, nobodyUid);
}
