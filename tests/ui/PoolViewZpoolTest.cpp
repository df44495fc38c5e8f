// The pool view against the real zpool (zfs-fuse).
#include "support/MainWinHarness.h"
#include "support/RealZpool.h"

#include <QPushButton>

namespace {
class PoolViewOnRealZpool : public RealZpool::Test {
protected:
    PoolViewOnRealZpool() : RealZpool::Test(4) {}
    int row(RaidTableViewController* v) const
    {
        const QAbstractItemModel* m = v->RaidListView()->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            if (m->index(r, 0).data().toString() == pool)
                return r;
        }
        return -1;
    }
    QString health(RaidTableViewController* v) const
    {
        return row(v) < 0 ? QString() : v->RaidListView()->model()->index(row(v), 6).data().toString();
    }

    QString pool;
};
}  // namespace

TEST_F(PoolViewOnRealZpool, ListsEjectsMountsAndDeletes)
{
    pool = scratch->createPool(QStringList{"raidz"} + scratch->devs(0, 4));
    // The main window on the real tool; our disks sit in bays A to D.
    FixtureEnclosure e{1001, 0, {}};
    for (int i = 0; i < 4; ++i)
        e.disks << FixtureDisk{QStringLiteral("Slot-%1").arg(QChar('A' + i)), scratch->disk(i)};
    MainWinHarness h({e});
    h.context.probePaths.sbinZpool = scratch->openZfsWrapper();
    StartedMainWindow w(h);
    RaidTableViewController* v = w.pools();
    ASSERT_EQ(health(v), "ONLINE");

    w.selectPool(row(v));
    QStringList members;
    for (const RaidStatusPtr& m : v->RaidStateArray())
        members << *m->DiskName + " " + m->slotPath.value_or("-");
    EXPECT_EQ(members, (QStringList{scratch->disk(0) + " Slot-A", scratch->disk(1) + " Slot-B",
                                    scratch->disk(2) + " Slot-C", scratch->disk(3) + " Slot-D"}));

    v->EjectBtn()->click();
    ASSERT_TRUE(waitUntil([&] { return health(v) == "EJECTED"; }, 30000));
    EXPECT_FALSE(RealZpool::listed(pool));

    w.selectPool(row(v));
    v->MountBtn()->click();
    ASSERT_TRUE(waitUntil([&] { return health(v) == "ONLINE"; }, 30000));

    // zfs-fuse calls a pool busy for a moment after an import; a user would ask again.
    for (int attempt = 0; attempt < 5 && row(v) >= 0; ++attempt) {
        w.selectPool(row(v));
        v->DeleteBtn()->click();
        ASSERT_EQ(w.alerts().size(), 1);
        press(w.alerts().first(), "Delete");
        w.settle();
        for (QMessageBox* busy : w.alerts()) {  // shown, with zpool's words
            EXPECT_EQ(busy->text(), pool + " could not be deleted");
            busy->close();
        }
    }
    EXPECT_LT(row(v), 0);
    EXPECT_FALSE(RealZpool::listed(pool));
}
