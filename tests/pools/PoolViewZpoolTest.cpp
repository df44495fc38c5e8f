// The pool view and the replacement wizard against the real zpool (zfs-fuse).
#include "support/LogCapture.h"
#include "support/MainWinHarness.h"
#include "support/RealZpool.h"

#include <QPushButton>

namespace {
using RealZpool::run;

class PoolViewOnRealZpool : public RealZpool::Test {
protected:
    PoolViewOnRealZpool() : RealZpool::Test(5) {}
    void SetUp() override
    {
        RealZpool::Test::SetUp();
        if (scratch)
            pool = scratch->createPool(QStringList{"raidz"} + scratch->devs(0, 4));
    }

    // A main window on the real tool whose enclosure holds `disks` in bays A to D.
    std::unique_ptr<MainWinHarness> harness(const QList<int>& disks)
    {
        FixtureEnclosure e{1001, 0, {}};
        for (int i = 0; i < disks.size(); ++i)
            e.disks << FixtureDisk{QStringLiteral("Slot-%1").arg(QChar('A' + i)), scratch->disk(disks[i])};
        auto h = std::make_unique<MainWinHarness>(QList<FixtureEnclosure>{e});
        h->context.probePaths.sbinZpool = scratch->openZfsWrapper();
        return h;
    }
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
    auto h = harness({0, 1, 2, 3});
    StartedMainWindow w(*h);
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
        v->zpoolCmd()->waitForThreads();
        waitUntil([&] { return row(v) < 0; }, 2000);
    }
    EXPECT_LT(row(v), 0);
    EXPECT_FALSE(RealZpool::listed(pool));
}

TEST_F(PoolViewOnRealZpool, WizardReplacesAGoneDisk)
{
    // The disk in the second bay goes; a new one sits in its bay.
    run({"export", pool});
    scratch->pull(1);
    run({"import", pool});
    ASSERT_TRUE(run({"status", pool}).contains("UNAVAIL"));

    auto h = harness({0, 4, 2, 3});
    StartedMainWindow w(*h);
    LogCapture log;
    RaidTableViewController* v = w.pools();
    ASSERT_EQ(health(v), "DEGRADED");
    w.selectPool(row(v));
    int gone = -1;
    const RaidStatusList members = v->RaidStateArray();
    for (int i = 0; i < members.size(); ++i) {
        if (members.at(i)->State == "UNAVAIL")
            gone = i;
    }
    ASSERT_GE(gone, 0);
    EXPECT_EQ(members.at(gone)->slotPath, "Slot-B");
    w.selectMember(gone);
    v->ReplaceBtn()->click();

    press(w.alerts().first(), "Eject");
    EXPECT_FALSE(RealZpool::listed(pool));
    for (int step : {2, 3}) {
        ASSERT_EQ(w.alerts().size(), 1) << step;
        press(w.alerts().first(), "OK");
    }
    const QString replaced = QStringLiteral("REPLACE %1 %2 %3").arg(pool, *members.at(gone)->DiskName, scratch->disk(4));
    ASSERT_TRUE(waitUntil([&] { return log.count(replaced) == 1; }, 30000)) << qPrintable(log.lines().join('\n'));
    EXPECT_EQ(h->ejector.calls(), QStringList{scratch->dev(4)});
    EXPECT_TRUE(run({"status", pool}).contains(scratch->disk(4)));
}
