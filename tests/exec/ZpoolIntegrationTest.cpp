// The worker and the privileged helper against the real zpool (zfs-fuse).
#include "app/Notifications.h"
#include "exec/Platform.h"
#include "exec/RunCMD.h"
#include "exec/ZpoolCMD.h"
#include "support/LogCapture.h"
#include "support/RealZpool.h"
#include "support/StandInElevator.h"

namespace {
class WorkerOnRealZpool : public RealZpool::Test {
protected:
    WorkerOnRealZpool() : RealZpool::Test(2) { worker.setZpoolPath(RealZpool::path); }
    NotificationCenter center;
    ZpoolCMD worker{center};
};

bool isMounted(const QString& pool)
{
    QFile f("/proc/self/mountinfo");
    f.open(QIODevice::ReadOnly);
    return f.readAll().contains(" /" + pool.toUtf8() + " ");
}
}  // namespace

TEST_F(WorkerOnRealZpool, ListShowsThePoolOnlyWhileItExists)
{
    QList<UserInfo> posted;
    center.addObserver(Notifications::ZpoolCMDFinish, nullptr, [&](const Notification& n) { posted << n.userInfo; });
    const QString pool = scratch->newPool();
    EXPECT_FALSE(worker.runCMD("LIST").contains(pool));
    RealZpool::run(QStringList{"create", "-f", pool} + scratch->devs(0, 2));
    const QString list = worker.runCMD("LIST");
    EXPECT_TRUE(list.contains(pool)) << qPrintable(list);
    EXPECT_TRUE(list.contains("NAME")) << qPrintable(list);
    ASSERT_EQ(posted.size(), 2);
    EXPECT_EQ(posted[1], (UserInfo{{"CMD", "LIST"}, {"isRoot", "NO"}}));
}

TEST_F(WorkerOnRealZpool, AdministratorVerbsThroughTheHelper)
{
    // Elevated the way a user's session would be: pkexec's stand-in starts the real helper.
    StandInElevator elevator;
    LogCapture log;
    const QString pool = scratch->createPool(scratch->devs(0, 2));

    worker.runCMD("EJECT", pool);
    EXPECT_FALSE(worker.runCMD("LIST").contains(pool));
    EXPECT_TRUE(worker.runCMD("LIST EJECTED").contains(pool));
    worker.runCMD("MOUNT", pool);
    EXPECT_TRUE(worker.runCMD("LIST").contains(pool));
    ASSERT_TRUE(RealZpool::retry([&] { return isMounted(pool); }, [] {}));

    // The new pool's mount point goes to the user, as after a creation.
    RunCMD().runCmdAsAdmin(Platform::chownPath(),
                           {"-R", Platform::userName() + ":" + Platform::primaryGroupName(), "/" + pool});
    EXPECT_TRUE(RealZpool::retry([&] { return !worker.runCMD("LIST").contains(pool); },
                                 [&] { worker.runCMD("DELETE", pool); }));
    EXPECT_FALSE(worker.runCMD("LIST EJECTED").contains(pool));

    EXPECT_EQ(log.count("Something went wrong"), 0) << qPrintable(log.lines().join('\n'));
    EXPECT_EQ(elevator.asked(), 1);
}
