#include "create/DiskColumns.h"
#include "create/PoolMountPoint.h"
#include "create/StringFromFileSize.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QTemporaryFile>

TEST(StringFromFileSize, MatchesTheSinglePrecisionFormatter)
{
    const std::pair<quint64, const char*> cases[] = {
        {0, "0.00 Bytes"},
        {1000, "1.00 KB"},
        {999000, "999.00 KB"},
        {999001, "1.00 MB"},  // 999.001 > 999 moves on to MB
        {4000787030016ULL, "4.00 TB"},
        {1125, "1.12 KB"},  // an exact tie rounds to even, as printf does
        {18446744073709551615ULL, "18446744.00 TB"},  // the units end at TB
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(stringFromFileSize(bytes), QString::fromLatin1(text)) << bytes;
}

// A pool's real zfs-fuse mount is looked up in the user stories.
TEST(PoolMountPoint, FindsThePoolsOwnZfsMount)
{
    QTemporaryFile table;
    table.open();
    table.write("40 27 0:40 / /srv/tank rw - ext4 tank rw\n"
                "47 27 0:42 / /tank rw,relatime - fuse.zfs tank rw,user_id=0\n"
                "49 27 0:44 / /Volumes/My\\040Pool rw - zfs My\\040Pool rw\n"
                "50 27 0:45 / /old rw - zfs moved rw\n"
                "51 27 0:46 / /new rw - zfs moved rw\n"
                "52 27 0:47 / /home/eve/fake rw - fuse.zfs fake rw,user_id=1000,group_id=1000\n");
    table.close();
    const std::pair<QString, std::optional<QString>> cases[] = {
        {"tank", "/tank"},
        {"My Pool", "/Volumes/My Pool"},
        {"moved", "/new"},  // the latest mount
        {"ta", std::nullopt},
        {"fake", std::nullopt},  // a user's own FUSE mount
    };
    for (const auto& [pool, mountPoint] : cases)
        EXPECT_EQ(PoolMountPoint::find(pool, table.fileName()), mountPoint) << pool.toStdString();
    EXPECT_EQ(PoolMountPoint::find("tank", "/nonexistent/mountinfo"), std::nullopt);
}

TEST(DiskColumns, MountPointIsTheFirstPartitionsVolumeName)
{
    VRLHddInfo disk;
    EXPECT_EQ(DiskColumns::cellText(disk, "MountPoint"), "-");  // no partitions
    auto part = std::make_shared<VRLBsdInfo>();
    part->mountPoint = "/Volumes/My Disk";
    disk.bsdPathArray << part << std::make_shared<VRLBsdInfo>();
    EXPECT_EQ(DiskColumns::cellText(disk, "MountPoint"), "My Disk");
    part->mountPoint.reset();
    EXPECT_EQ(DiskColumns::cellText(disk, "MountPoint"), "");
}
