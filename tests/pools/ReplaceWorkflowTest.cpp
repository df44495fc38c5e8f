#include "pools/ReplaceWorkflow.h"

#include <gtest/gtest.h>

using namespace ReplaceWorkflow;

namespace {
VRLHddInfoPtr disk(const QString& slot, std::optional<QString> devPath)
{
    auto d = std::make_shared<VRLHddInfo>();
    d->slotPath = slot;
    d->devPath = std::move(devPath);
    return d;
}
VRLThunderboltInfoPtr enclosure(std::optional<qint64> uid, const QString& path, HddList disks)
{
    auto e = std::make_shared<VRLThunderboltInfo>();
    e->uid = uid;
    e->tbPath = path;
    e->hddArray = std::move(disks);
    return e;
}
RaidInfo pool(const QString& name, const QStringList& members)
{
    RaidInfo p;
    p.Name = name;
    for (const QString& m : members) {
        auto s = std::make_shared<RaidStatus>();
        s->DiskName = m;
        s->mountOn = name;
        p.Status << s;
    }
    return p;
}
}  // namespace

TEST(ReplaceWorkflow, EnclosureIdentityPrefersUid)
{
    EXPECT_EQ(enclosureIdentity(*enclosure(7, "IOService:/a", {})), "uid:7");
    EXPECT_EQ(enclosureIdentity(*enclosure(std::nullopt, "IOService:/a", {})), "tbPath:IOService:/a");
    EXPECT_EQ(enclosureIdentity(*enclosure(0, "IOService:/a", {})), "tbPath:IOService:/a");
    EXPECT_EQ(enclosureIdentity(*enclosure(std::nullopt, "", {})), "");
}

TEST(ReplaceWorkflow, EnclosureOfPoolIsTheOneHoldingItsOtherMembers)
{
    const TBList two = {
        enclosure(1, "IOService:/one", {disk("Slot-B", "/dev/disk97")}),
        enclosure(2, "IOService:/two", {disk("Slot-A", "/dev/disk92"), disk("Slot-C", "/dev/disk94")}),
    };
    const RaidInfo tank = pool("tank", {"disk92", "1234567890", "disk94"});
    EXPECT_EQ(enclosureOfPool(tank, two).identity, "uid:2");

    // Members spread over both enclosures: no way to tell where the gone one sat.
    const RaidInfo spread = pool("spread", {"disk92", "disk97", "1234567890"});
    const EnclosureGuess g = enclosureOfPool(spread, two);
    EXPECT_EQ(g.identity, "");
    EXPECT_FALSE(g.problem.isEmpty());

    // A pool on disks of no enclosure.
    EXPECT_EQ(enclosureOfPool(pool("elsewhere", {"sda", "1234"}), two).identity, "");
    // Partition names never match a disk.
    EXPECT_EQ(enclosureOfPool(pool("parts", {"disk92s1", "1234"}), two).identity, "");
    // An enclosure that cannot be named again later is no answer either.
    const TBList anonymous = {enclosure(std::nullopt, "", {disk("Slot-A", "/dev/disk92")})};
    EXPECT_EQ(enclosureOfPool(tank, anonymous).identity, "");
}

TEST(ReplaceWorkflow, NewDiskIsSearchedOnlyInTheCarriedEnclosure)
{
    const TBList two = {
        enclosure(1, "IOService:/one", {disk("Slot-B", "/dev/disk97")}),
        enclosure(2, "IOService:/two", {disk("Slot-A", "/dev/disk92"), disk("Slot-B", "/dev/disk96")}),
    };
    NewDiskSearch found = findNewDisk(two, "uid:2", "Slot-B");
    ASSERT_TRUE(found.disk);
    EXPECT_EQ(found.disk->devPath, "/dev/disk96");

    // The bay is empty in the enclosure of the pool; the other enclosure's disk stays untouched.
    const TBList emptyBay = {
        enclosure(1, "IOService:/one", {disk("Slot-B", "/dev/disk97")}),
        enclosure(2, "IOService:/two", {disk("Slot-A", "/dev/disk92")}),
    };
    found = findNewDisk(emptyBay, "uid:2", "Slot-B");
    EXPECT_FALSE(found.disk);
    EXPECT_TRUE(found.problem.isEmpty());

    // Refusals carry a reason.
    for (const auto& [id, enclosures] : QList<std::pair<QString, TBList>>{
             {"", two},                                  // unknown enclosure
             {"uid:3", two},                             // not attached (yet)
             {"uid:1", {enclosure(1, "a", {disk("Slot-B", "/dev/disk1"), disk("Slot-B", "/dev/disk2")})}},
             {"uid:1", {enclosure(1, "a", {disk("Slot-B", "")})}},
             {"uid:1", {enclosure(1, "a", {disk("Slot-B", std::nullopt)})}},
         }) {
        const NewDiskSearch refused = findNewDisk(enclosures, id, "Slot-B");
        EXPECT_FALSE(refused.disk) << id.toStdString();
        EXPECT_FALSE(refused.problem.isEmpty()) << id.toStdString();
    }
}

TEST(ReplaceWorkflow, PoolUsingDisk)
{
    const RaidList pools = {std::make_shared<RaidInfo>(pool("tank", {"disk92", "disk93"})),
                            std::make_shared<RaidInfo>(pool("media", {"disk96"}))};
    EXPECT_EQ(poolUsingDisk(pools, "disk96", "tank", "disk93"), "media");
    EXPECT_EQ(poolUsingDisk(pools, "disk92", "tank", "disk93"), "tank");
    EXPECT_EQ(poolUsingDisk(pools, "disk93", "tank", "disk93"), "");  // back under its old name
    EXPECT_EQ(poolUsingDisk(pools, "disk99", "tank", "disk93"), "");
}

TEST(ReplaceWorkflow, ExportConfirmedOnlyByAListingWithoutThePool)
{
    const QString header = "NAME SIZE ALLOC FREE EXPANDSZ FRAG CAP DEDUP HEALTH ALTROOT\n";
    const QString tank = "tank 3.62T 1.20T 2.42T - 3% 33% 1.00x ONLINE -\n";
    const QString other = "media 1.81T 912G 944G - 1% 49% 1.00x ONLINE -\n";
    EXPECT_TRUE(exportConfirmed("no pools available\n", "tank"));
    EXPECT_TRUE(exportConfirmed(header + other, "tank"));
    EXPECT_FALSE(exportConfirmed(header + tank + other, "tank"));
    EXPECT_FALSE(exportConfirmed("", "tank"));  // zpool did not run
    EXPECT_FALSE(exportConfirmed("Failed to load ZFS module stack.\n", "tank"));
    EXPECT_FALSE(exportConfirmed("internal error: out of memory\n", "tank"));
}
