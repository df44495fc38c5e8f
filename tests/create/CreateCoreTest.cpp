#include "create/CreateCommand.h"
#include "create/DiskColumns.h"
#include "create/PoolMountPoint.h"
#include "create/PoolName.h"
#include "create/StringFromFileSize.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <QTemporaryFile>


TEST(StringFromFileSize, MatchesTheSinglePrecisionFormatter)
{
    const struct {
        quint64 bytes;
        const char* text;
    } cases[] = {
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
    for (const auto& c : cases)
        EXPECT_EQ(stringFromFileSize(c.bytes), QString::fromLatin1(c.text)) << c.bytes;
}

TEST(CreateCommand, SplitsOptionsAtHorizontalSpaceOnly)
{
    const struct {
        QString text;
        QStringList tokens;
    } cases[] = {
        {"-f   -o ashift=12 ", {"-f", "-o", "ashift=12"}},
        {"", {}},
        {"   \t ", {}},
        {"\t-f\t\t-o\tashift=9", {"-f", "-o", "ashift=9"}},
        {QString::fromUtf8("-f\u00a0-o\u3000ashift=12\u2009x"), {"-f", "-o", "ashift=12", "x"}},
        {"-o a\nb -O c\r\nd", {"-o", "a\nb", "-O", "c\r\nd"}},  // line breaks are not separators
        {QString::fromUtf8("a\u2028b"), {QString::fromUtf8("a\u2028b")}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CreateCommand::splitOptionsText(c.text), c.tokens) << c.text.toStdString();
    EXPECT_EQ(CreateCommand::splitOptionsText(CreateCommand::DefaultOptionsText),
              CreateCommand::defaultOptionArguments());
}

TEST(PoolName, OnlyPlainNamesAreSafe)
{
    for (const QString& bad : {QString(), QString("."), QString(".."), QString("../../etc"),
                               QString("../Users/someone"), QString("a/b"), QString("/"),
                               QString("tank") + QChar(0)})
        EXPECT_FALSE(PoolName::isSafe(bad)) << bad.toStdString();
    for (const char* good : {"tank", "Data", "my pool", "   ", "...", "a..b", "-x"})
        EXPECT_TRUE(PoolName::isSafe(QString::fromUtf8(good))) << good;
}

namespace {
QString writeMountTable(QTemporaryFile& file, const QByteArray& text)
{
    file.open();
    file.write(text);
    file.close();
    return file.fileName();
}
}  // namespace

TEST(PoolMountPoint, FindsThePoolsOwnZfsMount)
{
    QTemporaryFile file;
    const QString table = writeMountTable(
        file,
        "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "40 27 0:40 / /srv/tank rw - ext4 tank rw\n"
        "47 27 0:42 / /tank rw,relatime - fuse.zfs tank rw,user_id=0\n"
        "48 47 0:43 / /tank/child rw,relatime - fuse.zfs tank/child rw,user_id=0\n"
        "49 27 0:44 / /Volumes/My\\040Pool rw - zfs My\\040Pool rw\n"
        "50 27 0:45 / /old rw - zfs moved rw\n"
        "51 27 0:46 / /new rw - zfs moved rw\n"
        "52 27 0:47 / /home/eve/fake rw - fuse.zfs fake rw,user_id=1000,group_id=1000\n");
    EXPECT_EQ(PoolMountPoint::find("tank", table), QString("/tank"));
    EXPECT_EQ(PoolMountPoint::find("tank/child", table), QString("/tank/child"));
    EXPECT_EQ(PoolMountPoint::find("My Pool", table), QString("/Volumes/My Pool"));
    EXPECT_EQ(PoolMountPoint::find("moved", table), QString("/new"));  // the latest mount
    EXPECT_EQ(PoolMountPoint::find("ta", table), std::nullopt);
    EXPECT_EQ(PoolMountPoint::find("fake", table), std::nullopt);  // a user's own FUSE mount
    EXPECT_EQ(PoolMountPoint::find("/dev/vda", table), std::nullopt);  // not ZFS
    EXPECT_EQ(PoolMountPoint::find("", table), std::nullopt);
    EXPECT_EQ(PoolMountPoint::find("tank", "/nonexistent/mountinfo"), std::nullopt);
}

TEST(DiskColumns, AnswerByIdentifier)
{
    VRLHddInfo disk;
    disk.hddModel = "WDC WD40EFRX";
    disk.hddSN = "WD-123";
    disk.devPath = "/dev/disk3";
    disk.slotPath = "Slot-B";
    disk.diskSize = 3000592982016;
    EXPECT_EQ(DiskColumns::cellText(disk, "Model"), "WDC WD40EFRX");
    EXPECT_EQ(DiskColumns::cellText(disk, "SN"), "WD-123");
    EXPECT_EQ(DiskColumns::cellText(disk, "Available"), "3.00 TB");
    EXPECT_EQ(DiskColumns::cellText(disk, "Slot"), "Slot-B");
    EXPECT_EQ(DiskColumns::cellText(disk, "DiskPath"), "/dev/disk3");
    EXPECT_EQ(DiskColumns::cellText(disk, "MountPoint"), "-");  // no partitions
    EXPECT_EQ(DiskColumns::cellText(disk, "Bogus"), "-");

    auto part = std::make_shared<VRLBsdInfo>();
    part->mountPoint = "/Volumes/My Disk";
    disk.bsdPathArray << part << std::make_shared<VRLBsdInfo>();
    EXPECT_EQ(DiskColumns::cellText(disk, "MountPoint"), "My Disk");
    part->mountPoint.reset();
    EXPECT_EQ(DiskColumns::cellText(disk, "MountPoint"), "");

    const VRLHddInfo empty;
    for (const char* id : {"Model", "SN", "Slot", "DiskPath"})
        EXPECT_EQ(DiskColumns::cellText(empty, id), "") << id;
    EXPECT_EQ(DiskColumns::cellText(empty, "Available"), "0.00 Bytes");
}
