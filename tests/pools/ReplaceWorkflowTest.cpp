#include "Records.h"
#include "pools/DiskContents.h"
#include "pools/ReplaceWorkflow.h"

#include <gtest/gtest.h>

using namespace ReplaceWorkflow;

TEST(ReplaceWorkflow, EnclosureOfPoolIsTheOneHoldingItsOtherMembers)
{
    const TBList two = enclosures("1: Slot-B=/dev/disk97 | 2: Slot-A=/dev/disk92 Slot-B=/dev/disk96");
    EXPECT_EQ(enclosureOfPool(*pool("tank", "disk92 1234567890"), two).identity, "uid:2");
    // Members spread over both enclosures: no way to tell where the gone one sat.
    const EnclosureGuess spread = enclosureOfPool(*pool("spread", "disk92 disk97 1234567890"), two);
    EXPECT_EQ(spread.identity, "");
    EXPECT_FALSE(spread.problem.isEmpty());
    EXPECT_EQ(enclosureOfPool(*pool("tank", "disk92"), enclosures("0: Slot-A=/dev/disk92")).identity,
              "tbPath:IOService:/tb0");
    // Disks of no enclosure, or an enclosure that cannot be named again.
    EXPECT_EQ(enclosureOfPool(*pool("elsewhere", "sda 1234"), two).identity, "");
    EXPECT_EQ(enclosureOfPool(*pool("tank", "disk92"), enclosures("-: Slot-A=/dev/disk92")).identity, "");
}

TEST(ReplaceWorkflow, TheNewDiskIsTheOneThatAppearedInThePoolsEnclosure)
{
    // Enclosure 2 as "bay=devPath,serial"; its snapshot is taken first. The
    // disk in the bay, and none new, are met in the wizard's own tests.
    auto with = [](const QString& disks) { return enclosures("1: Slot-B=/dev/disk97 | 2: " + disks); };
    const QString before = "Slot-A=/dev/disk92,S1 Slot-C=/dev/disk93,S3 ";
    const QString placeholders = "Slot-A=/dev/disk92,0000 Slot-C=/dev/disk93,0000 ";
    // `found`: its devPath, or "" when nothing may be touched.
    const struct { const char* name; QString now; const char* id; const char* found; bool note; } cases[] = {
        {"in another bay: taken, noted", before + "Slot-D=/dev/disk96,S9", "uid:2", "/dev/disk96", true},
        {"a known disk under a new name is not new", "Slot-A=/dev/disk99,S1 Slot-C=/dev/disk93,S3", "uid:2", "", false},
        {"two new", before + "Slot-B=/dev/disk96,S9 Slot-D=/dev/disk97,S8", "uid:2", "", false},
        {"new but no device name yet", before + "Slot-B=-,S9", "uid:2", "", false},
        {"placeholder serials: by device and size", placeholders + "Slot-B=/dev/disk96,0000", "uid:2", "/dev/disk96",
         true},
        {"enclosure unknown", before + "Slot-B=/dev/disk96,S9", "", "", false},
        {"enclosure not attached", before + "Slot-B=/dev/disk96,S9", "uid:3", "", false},
    };
    for (const auto& c : cases) {
        const bool placeholder = c.now.startsWith(placeholders);
        const NewDiskSearch r =
            findNewDisk(with(c.now), c.id, "Slot-B", diskSnapshot(with(placeholder ? placeholders : before), "uid:2"));
        EXPECT_EQ(r.disk ? *r.disk->devPath : QString(), c.found) << c.name;
        EXPECT_EQ(r.problem.isEmpty(), !!r.disk) << c.name;
        EXPECT_EQ(!r.note.isEmpty(), c.note) << c.name;
    }
    EXPECT_TRUE(findNewDisk(with(before), "uid:2", "Slot-B", diskSnapshot(with(before), "uid:2"))
                    .problem.contains("disk92 in Slot-A, disk93 in Slot-C"));
}

TEST(ReplaceWorkflow, PoolUsingDisk)
{
    const RaidList pools = {pool("tank", "disk92 disk93"), pool("media", "disk96")};
    EXPECT_EQ(poolUsingDisk(pools, "disk96", "tank", "disk93"), "media");
    EXPECT_EQ(poolUsingDisk(pools, "disk92", "tank", "disk93"), "tank");
    EXPECT_EQ(poolUsingDisk(pools, "disk93", "tank", "disk93"), "");  // back under its old name
    EXPECT_EQ(poolUsingDisk(pools, "disk99", "tank", "disk93"), "");
}

// A listing without the pool confirms it: the wizard's steps meet that.
TEST(ReplaceWorkflow, ExportConfirmedOnlyByAListingWithoutThePool)
{
    const QString header = "NAME SIZE ALLOC FREE EXPANDSZ FRAG CAP DEDUP HEALTH ALTROOT\n";
    const QString other = "media 1.81T 912G 944G - 1% 49% 1.00x ONLINE -\n";
    EXPECT_FALSE(exportConfirmed(header + "tank 3.62T 1.20T 2.42T - 3% 33% 1.00x ONLINE -\n" + other, "tank"));
    EXPECT_FALSE(exportConfirmed("", "tank"));  // zpool did not run
    EXPECT_FALSE(exportConfirmed("Failed to load ZFS module stack.\n", "tank"));
}

// What a disk holds is shown and asked about in the user story.
TEST(DiskContents, NamesTheDiskAndItsPartitionsOnly)
{
    EXPECT_TRUE(DiskContents::namesDisk("/dev/disk3s1", "disk3"));
    EXPECT_TRUE(DiskContents::namesDisk("nvme0n1p2", "nvme0n1"));
    EXPECT_FALSE(DiskContents::namesDisk("disk93", "disk9"));
    EXPECT_FALSE(DiskContents::namesDisk("sdbb", "sdb"));
}
