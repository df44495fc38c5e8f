#include "pools/DiskContents.h"
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
        p->Status << std::make_shared<RaidStatus>(RaidStatus{m, {}, {}, {}, {}, {}, name, {}, {}, {}, {}, {}});
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
    EXPECT_EQ(enclosureOfPool(*pool("tank", {"disk92"}), {enclosure(std::nullopt, "", {"Slot-A=/dev/disk92"})}).identity,
              "");
}

TEST(ReplaceWorkflow, TheNewDiskIsTheOneThatAppearedInThePoolsEnclosure)
{
    // Disks as "bay=devPath/serial" ("-" path: none yet); the snapshot of enclosure 2 is taken first.
    auto with = [](const QStringList& disks, const QString& serial = {}) {
        const VRLThunderboltInfoPtr e = enclosure(2, "IOService:/two", {});
        for (const QString& d : disks) {
            auto hdd = std::make_shared<VRLHddInfo>();
            hdd->slotPath = d.section('=', 0, 0);
            const QString path = d.section('=', 1).section('/', 0, -2);
            if (path != "-")
                hdd->devPath = path;
            hdd->hddSN = serial.isEmpty() ? d.section('/', -1) : serial;
            hdd->diskSize = 1000;
            e->hddArray << hdd;
        }
        return TBList{two[0], e};
    };
    const QStringList before = {"Slot-A=/dev/disk92/S1", "Slot-C=/dev/disk93/S3"};
    const struct {
        const char* name;
        TBList now;
        const char* id;
        const char* found;  // devPath, or "" when nothing may be touched
        bool note;
    } cases[] = {
        {"the new disk in the bay", with(before + QStringList{"Slot-B=/dev/disk96/S9"}), "uid:2", "/dev/disk96", false},
        {"in another bay: taken, noted", with(before + QStringList{"Slot-D=/dev/disk96/S9"}), "uid:2", "/dev/disk96", true},
        {"a known disk under a new name is not new", with({"Slot-A=/dev/disk99/S1", "Slot-C=/dev/disk93/S3"}), "uid:2", "", false},
        {"none new", with(before), "uid:2", "", false},
        {"two new", with(before + QStringList{"Slot-B=/dev/disk96/S9", "Slot-D=/dev/disk97/S8"}), "uid:2", "", false},
        {"new but no device name yet", with(before + QStringList{"Slot-B=-/S9"}), "uid:2", "", false},
        {"placeholder serials: by device and size", with(before + QStringList{"Slot-B=/dev/disk96/x"}, "0000"), "uid:2",
         "/dev/disk96", true},
        {"enclosure unknown", with(before + QStringList{"Slot-B=/dev/disk96/S9"}), "", "", false},
        {"enclosure not attached", with(before + QStringList{"Slot-B=/dev/disk96/S9"}), "uid:3", "", false},
    };
    for (const auto& c : cases) {
        const bool placeholder = QString(c.name).startsWith("placeholder");
        const QString snapshot = diskSnapshot(with(before, placeholder ? "0000" : QString()), "uid:2");
        const NewDiskSearch r = findNewDisk(c.now, c.id, "Slot-B", snapshot);
        EXPECT_EQ(r.disk ? *r.disk->devPath : QString(), c.found) << c.name;
        EXPECT_EQ(r.problem.isEmpty(), !!r.disk) << c.name;
        EXPECT_EQ(!r.note.isEmpty(), c.note) << c.name;
    }
    // The user is told what was found instead.
    EXPECT_TRUE(findNewDisk(with(before), "uid:2", "Slot-B", diskSnapshot(with(before), "uid:2"))
                    .problem.contains("disk92 in Slot-A, disk93 in Slot-C"));
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

TEST(DiskContents, WhatADiskHoldsIsFoundByItsNameAndPartitions)
{
    EXPECT_TRUE(DiskContents::namesDisk("disk3", "disk3"));
    EXPECT_TRUE(DiskContents::namesDisk("/dev/disk3s1", "disk3"));
    EXPECT_TRUE(DiskContents::namesDisk("nvme0n1p2", "nvme0n1"));
    EXPECT_FALSE(DiskContents::namesDisk("disk93", "disk9"));
    EXPECT_FALSE(DiskContents::namesDisk("sdbb", "sdb"));

    RaidList pools = {pool("tank", {"disk92", "disk93"})};
    auto ejected = std::make_shared<RaidInfo>();
    ejected->Name = "photos";
    ejected->ejectedDisks = {"disk90"};
    pools << ejected;
    auto disk = [](const QString& name, bool blank, const QStringList& mounts = {}) {
        VRLHddInfo d;
        d.devPath = "/dev/" + name;
        d.isUnFormated = blank;
        for (const QString& m : mounts)
            d.bsdPathArray << std::make_shared<VRLBsdInfo>(VRLBsdInfo{"/dev/" + name + "s1", m, {}, {}});
        return d;
    };
    EXPECT_EQ(DiskContents::holding(disk("disk92", false), pools).importedPool, "tank");
    EXPECT_TRUE(DiskContents::holding(disk("disk93", false), pools, "tank", "disk93").importedPool.isEmpty());
    EXPECT_EQ(DiskContents::summary(DiskContents::holding(disk("disk90", false), pools)), "photos (ejected)");
    EXPECT_EQ(DiskContents::summary(DiskContents::holding(disk("disk94", false, {"/media/u/Data"}), pools)), "Data");
    EXPECT_FALSE(DiskContents::holding(disk("disk95", false), pools).blank());  // a partition table
    EXPECT_TRUE(DiskContents::holding(disk("disk96", true), pools).blank());
}
