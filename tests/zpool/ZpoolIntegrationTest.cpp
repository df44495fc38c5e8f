// The worker against the real zpool (zfs-fuse).
#include "base/Notifications.h"
#include "support/RealZpool.h"
#include "zpool/ZpoolCMD.h"

namespace {
class WorkerOnRealZpool : public RealZpool::Test {
protected:
    WorkerOnRealZpool() : RealZpool::Test(2) { worker.setZpoolPath(RealZpool::path); }
    NotificationCenter center;
    ZpoolCMD worker{center};
};
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
    EXPECT_TRUE(list.startsWith("NAME ") && list.section('\n', 0, 0).contains("SIZE")) << qPrintable(list);
    ASSERT_EQ(posted.size(), 2);
    EXPECT_EQ(posted[1], (UserInfo{{"CMD", "LIST"}, {"isRoot", "NO"}}));
}
