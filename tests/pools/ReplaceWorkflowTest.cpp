#include "pools/ReplaceWorkflow.h"

#include <gtest/gtest.h>

using namespace ReplaceWorkflow;

namespace {
// An enclosure of "bay=devPath" disks ("-" for an absent path).
VRLThunderboltInfoPtr enclosure(std::optional<qint64> uid, const QString& path, const QStringList& disks)
{
    auto e = std::make_shared<VRLThunderboltInfo>();
    e->uid = uid;
    e->tbPath = path;
    for (const QString& d : disks) {
        auto hdd = std::make_shared<VRLHddInfo>();
        hdd->slotPath = d.section('=', 0, 0);
        if (d.section('=', 1) != "-")
            hdd->devPath = d.section('=', 1);
        e->hddArray << hdd;
    }
    return e;
}
RaidInfoPtr pool(const QString& name, const QStringList& members)
{
    auto p = std::make_shared<RaidInfo>();
    p->Name = name;
    for (const QString& m : members)
        p->Status << std::make_shared<RaidStatus>(RaidStatus{m, {}, {}, {}, {}, {}, name, {}, {}});
    return p;
}
const TBList two = {enclosure(1, "IOService:/one", {"Slot-B=/dev/disk97"}),
                    enclosure(2, "IOService:/two", {"Slot-A=/dev/disk92", "Slot-B=/dev/disk96"})};
}  // namespace

TEST(ReplaceWorkflow, EnclosureOfPoolIsTheOneHoldingItsOtherMembers)
{
    EXPECT_EQ(enclosureOfPool(*pool("tank", {"disk92", "1234567890"}), two).identity, "uid:2");
    EXPECT_EQ(enclosureOfPool(*pool("tank", {"disk92"}), {enclosure(0, "IOService:/a", {"Slot-A=/dev/disk92"})}).identity,
              "tbPath:IOService:/a");
    // Members spread over both enclosures: no way to tell where the gone one sat.
    const EnclosureGuess spread = enclosureOfPool(*pool("spread", {"disk92", "disk97", "1234567890"}), two);
    EXPECT_EQ(spread.identity, "");
    EXPECT_FALSE(spread.problem.isEmpty());
    // Disks of no enclosure, partition names, or an enclosure that cannot be named again.
    EXPECT_EQ(enclosureOfPool(*pool("elsewhere", {"sda", "1234"}), two).identity, "");
    EXPECT_EQ(enclosureOfPool(*pool("parts", {"disk92s1", "1234"}), two).identity, "");
    EXPECT_EQ(enclosureOfPool(*pool("tank", {"disk92"}), {enclosure(std::nullopt, "", {"Slot-A=/dev/disk92"})}).identity,
              "");
}

TEST(ReplaceWorkflow, NewDiskIsSearchedOnlyInTheCarriedEnclosure)
{
    const NewDiskSearch found = findNewDisk(two, "uid:2", "Slot-B");
    ASSERT_TRUE(found.disk);
    EXPECT_EQ(found.disk->devPath, "/dev/disk96");
    // The bay is empty in the pool's enclosure; the other enclosure's disk stays untouched.
    const NewDiskSearch empty = findNewDisk({two[0], enclosure(2, "IOService:/two", {"Slot-A=/dev/disk92"})}, "uid:2", "Slot-B");
    EXPECT_FALSE(empty.disk);
    EXPECT_TRUE(empty.problem.isEmpty());

    // Refusals carry a reason.
    for (const auto& [id, enclosures] : QList<std::pair<QString, TBList>>{
             {"", two},       // unknown enclosure
             {"uid:3", two},  // not attached (yet)
             {"uid:1", {enclosure(1, "a", {"Slot-B=/dev/disk1", "Slot-B=/dev/disk2"})}},
             {"uid:1", {enclosure(1, "a", {"Slot-B="})}},
             {"uid:1", {enclosure(1, "a", {"Slot-B=-"})}},
         }) {
        const NewDiskSearch refused = findNewDisk(enclosures, id, "Slot-B");
        EXPECT_FALSE(refused.disk) << id.toStdString();
        EXPECT_FALSE(refused.problem.isEmpty()) << id.toStdString();
    }
}

TEST(ReplaceWorkflow, PoolUsingDisk)
{
    const RaidList pools = {pool("tank", {"disk92", "disk93"}), pool("media", {"disk96"})};
    EXPECT_EQ(poolUsingDisk(pools, "disk96", "tank", "disk93"), "media");
    EXPECT_EQ(poolUsingDisk(pools, "disk92", "tank", "disk93"), "tank");
    EXPECT_EQ(poolUsingDisk(pools, "disk93", "tank", "disk93"), "");  // back under its old name
    EXPECT_EQ(poolUsingDisk(pools, "disk99", "tank", "disk93"), "");
}

TEST(ReplaceWorkflow, ExportConfirmedOnlyByAListingWithoutThePool)
{
    const QString header = "NAME SIZE ALLOC FREE EXPANDSZ FRAG CAP DEDUP HEALTH ALTROOT\n";
    const QString other = "media 1.81T 912G 944G - 1% 49% 1.00x ONLINE -\n";
    EXPECT_TRUE(exportConfirmed("no pools available\n", "tank"));
    EXPECT_TRUE(exportConfirmed(header + other, "tank"));
    EXPECT_FALSE(exportConfirmed(header + "tank 3.62T 1.20T 2.42T - 3% 33% 1.00x ONLINE -\n" + other, "tank"));
    EXPECT_FALSE(exportConfirmed("", "tank"));  // zpool did not run
    EXPECT_FALSE(exportConfirmed("Failed to load ZFS module stack.\n", "tank"));
    EXPECT_FALSE(exportConfirmed("internal error: out of memory\n", "tank"));
}
