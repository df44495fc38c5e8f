#include "create/DiskColumns.h"
#include "create/PoolMountPoint.h"
#include "create/StringFromFileSize.h"
#include "support/QtPrinters.h"
#include "zpool/PoolName.h"
#include "zpool/ZpoolCreate.h"

#include <gtest/gtest.h>

#include <QTemporaryFile>

TEST(StringFromFileSize, MatchesTheSinglePrecisionFormatter)
{
    const std::pair<quint64, const char*> cases[] = {
        {0, "0.00 Bytes"},
        {999, "999.00 Bytes"},
        {1000, "1.00 KB"},
        {1023, "1.02 KB"},
        {999000, "999.00 KB"},
        {999001, "1.00 MB"},  // 999.001 > 999 moves on to MB
        {500107862016ULL, "500.11 GB"},
        {4000787030016ULL, "4.00 TB"},
        {3000592982016ULL, "3.00 TB"},
        {1125, "1.12 KB"},  // an exact tie rounds to even, as printf does
        {999999, "1.00 MB"},
        {2000000000000000ULL, "2000.00 TB"},  // the units end at TB
        {18446744073709551615ULL, "18446744.00 TB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(stringFromFileSize(bytes), QString::fromLatin1(text)) << bytes;
}

TEST(ZpoolCreate, SplitsOptionsAtHorizontalSpaceOnly)
{
    const std::pair<QString, QStringList> cases[] = {
        {"-f   -o ashift=12 ", {"-f", "-o", "ashift=12"}},
        {"   \t ", {}},
        {"\t-f\t\t-o\tashift=9", {"-f", "-o", "ashift=9"}},
        {QString::fromUtf8("-f\u00a0-o\u3000ashift=12\u2009x"), {"-f", "-o", "ashift=12", "x"}},
        {"-o a\nb -O c\r\nd", {"-o", "a\nb", "-O", "c\r\nd"}},  // line breaks are not separators
        {QString::fromUtf8("a\u2028b"), {QString::fromUtf8("a\u2028b")}},
    };
    for (const auto& [text, tokens] : cases)
        EXPECT_EQ(ZpoolCreate::splitOptionsText(text), tokens) << text.toStdString();
    EXPECT_EQ(ZpoolCreate::splitOptionsText(ZpoolCreate::DefaultOptionsText),
              ZpoolCreate::defaultOptions());
}

TEST(PoolMountPoint, FindsThePoolsOwnZfsMount)
{
    QTemporaryFile table;
    table.open();
    table.write("27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
                "40 27 0:40 / /srv/tank rw - ext4 tank rw\n"
                "47 27 0:42 / /tank rw,relatime - fuse.zfs tank rw,user_id=0\n"
                "48 47 0:43 / /tank/child rw,relatime - fuse.zfs tank/child rw,user_id=0\n"
                "49 27 0:44 / /Volumes/My\\040Pool rw - zfs My\\040Pool rw\n"
                "50 27 0:45 / /old rw - zfs moved rw\n"
                "51 27 0:46 / /new rw - zfs moved rw\n"
                "52 27 0:47 / /home/eve/fake rw - fuse.zfs fake rw,user_id=1000,group_id=1000\n");
    table.close();
    const std::pair<QString, std::optional<QString>> cases[] = {
        {"tank", "/tank"},
        {"tank/child", "/tank/child"},
        {"My Pool", "/Volumes/My Pool"},
        {"moved", "/new"},  // the latest mount
        {"ta", std::nullopt},
        {"fake", std::nullopt},  // a user's own FUSE mount
        {"/dev/vda", std::nullopt},  // not ZFS
        {"", std::nullopt},
    };
    for (const auto& [pool, mountPoint] : cases)
        EXPECT_EQ(PoolMountPoint::find(pool, table.fileName()), mountPoint) << pool.toStdString();
    EXPECT_EQ(PoolMountPoint::find("tank", "/nonexistent/mountinfo"), std::nullopt);
}

TEST(DiskColumns, MountPointIsTheFirstPartitionsVolumeName)
{
    VRLHddInfo disk;
    EXPECT_EQ(DiskColumns::cellText(disk, "MountPoint"), "-");  // no partitions
    EXPECT_EQ(DiskColumns::cellText(disk, "Available"), "0.00 Bytes");
    EXPECT_EQ(DiskColumns::cellText(disk, "Bogus"), "-");
    auto part = std::make_shared<VRLBsdInfo>();
    part->mountPoint = "/Volumes/My Disk";
    disk.bsdPathArray << part << std::make_shared<VRLBsdInfo>();
    EXPECT_EQ(DiskColumns::cellText(disk, "MountPoint"), "My Disk");
    part->mountPoint.reset();
    EXPECT_EQ(DiskColumns::cellText(disk, "MountPoint"), "");
}

TEST(PoolName, OnlyNamesZfsTakesAsAPoolPass)
{
    const std::pair<const char*, bool> cases[] = {
        {"tank", true},       {"My Photos 2.0_a-b:c", true}, {"-n", false},   {"-R", false},
        {"1st", false},       {" tank", false},              {"   ", false},   {"a/b", false},
        {"caf\u00e9", false}, {"tank%1", false},             {"mirror", false}, {"raidz2x", false},
        {"draid", false},     {"spares", false},             {"log", false},  {"cache", false},
        {"logs", true},       {"c0t0d0", false},             {"cat", true},   {"", false},
    };
    for (const auto& [name, valid] : cases)
        EXPECT_EQ(PoolName::problem(QString::fromUtf8(name)).isEmpty(), valid) << name;
    EXPECT_TRUE(PoolName::problem(QString(256, 'a')).contains("255"));
}
