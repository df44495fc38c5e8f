#include "pools/PoolRefresh.h"

#include "devices/FixtureRegistry.h"
#include "devices/VRLScanDevice.h"
#include "exec/ZpoolCMD.h"
#include "pools/RaidListArray.h"
#include "support/FakeTool.h"
#include "support/MainWinHarness.h"
#include "support/RegistryFixture.h"

#include <gtest/gtest.h>

namespace {
struct RefreshFixture : ::testing::Test {
    NotificationCenter center;
    FakeTool zpool;
    FakeTool df{QStringLiteral("df")};
    QTemporaryDir dir;
    std::unique_ptr<FixtureRegistry> registry;
    std::unique_ptr<VRLScanDevice> scanner;
    ZpoolCMD worker{center};
    QStringList finished;

    void SetUp() override
    {
        const QString path = dir.filePath("registry.json");
        RegistryFixture::write(path, {{1, 0, {{"Slot-A", "disk92"}, {"Slot-C", "disk94"}, {"Slot-D", "disk95"}}}});
        registry = std::make_unique<FixtureRegistry>(path);
        scanner = std::make_unique<VRLScanDevice>(*registry, df.path());
        worker.setZpoolPath(zpool.path());
        zpool.setOutputFromFile("list", mainwinData("list-all-health.txt"));
        zpool.setOutputFromFile("status", mainwinData("status-all-health.txt"));
        zpool.setOutputFromFile("import", mainwinData("import-two.txt"));
        center.addObserver("ZpoolCMDFinish", nullptr,
                           [this](const Notification& n) { finished << n.userInfo.value("CMD"); });
    }
};
}  // namespace

TEST_F(RefreshFixture, RunsTheParsersInOrderThenMapsBays)
{
    const RaidListPtr pools = PoolRefresh::refresh(worker, *scanner, true, true);
    EXPECT_EQ(zpool.calls(), (QList<QStringList>{{"list"}, {"status", "-L"}, {"import"}}));
    EXPECT_EQ(finished, (QStringList{"LIST", "STATUS", "LIST EJECTED"}));
    ASSERT_EQ(pools->size(), 4);
    EXPECT_EQ(pools->at(0)->Name, "tank");
    EXPECT_EQ(pools->at(2)->Health, "EJECTED");
    EXPECT_EQ(pools->at(3)->Health, "DEGRADED EJECTED");
    QStringList bays;
    for (const RaidStatusPtr& m : pools->at(0)->Status)
        bays << m->slotPath.value_or("<none>");
    // The gone member takes the bay no member occupies.
    EXPECT_EQ(bays, (QStringList{"Slot-A", "Slot-B", "Slot-C", "Slot-D"}));
    EXPECT_EQ(scanner->tbArray().size(), 1);
}

TEST_F(RefreshFixture, WithoutEjectedPoolsNoImportRuns)
{
    const RaidListPtr pools = PoolRefresh::refresh(worker, *scanner, false, true);
    EXPECT_EQ(zpool.calls(), (QList<QStringList>{{"list"}, {"status", "-L"}}));
    EXPECT_EQ(pools->size(), 2);
}

TEST_F(RefreshFixture, GateClosedRunsNoZpoolButStillScans)
{
    RaidListArray::replace(std::make_shared<const RaidList>());
    const RaidListPtr pools = PoolRefresh::refresh(worker, *scanner, true, false);
    EXPECT_TRUE(zpool.calls().isEmpty());
    EXPECT_TRUE(finished.isEmpty());
    EXPECT_TRUE(pools->isEmpty());
    EXPECT_EQ(scanner->tbArray().size(), 1);
    // A second refresh replaces the scan instead of appending to it.
    PoolRefresh::refresh(worker, *scanner, true, false);
    EXPECT_EQ(scanner->tbArray().size(), 1);
}
