#include "devices/LibmountVolumeWatch.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <sys/mount.h>

using Change = VolumeWatch::Change;
using Table = LibmountVolumeWatch::MountTable;

// Plain mounts, moves and unmounts are met for real below.
TEST(LibmountVolumeWatch, ClassifiesTableChanges)
{
    const Table base{{"/dev/sda2", "/"}, {"/dev/sdb1", "/media/alice/Data"}};
    const struct { const char* name; Table after; QList<Change> expected; } cases[] = {
        {"same source mounted twice", base + Table{{"/dev/sdb1", "/mnt/other"}}, {Change::Mounted}},
        {"another device at the same place", Table{base[0], {"/dev/sdc1", "/media/alice/Data"}},
         {Change::Mounted, Change::Unmounted}},
        {"two at once", Table{base[0], {"/dev/sdd1", "/a"}, {"/dev/sde1", "/b"}},
         {Change::Mounted, Change::Mounted, Change::Unmounted}},
        {"order does not matter", Table{base[1], base[0]}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LibmountVolumeWatch::classify(base, c.after), c.expected) << c.name;
}

TEST(LibmountVolumeWatch, ReadsVolumesAndLeavesPseudoFileSystemsOut)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("mountinfo"), "21 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
                                         "22 21 0:20 / /proc rw,nosuid shared:2 - proc proc rw\n"
                                         "23 21 0:21 / /tmp rw shared:3 - tmpfs tmpfs rw\n"
                                         "40 21 8:17 / /media/alice/My\\040Disk rw shared:4 - vfat /dev/sdb1 rw\n"
                                         "41 21 0:45 / /tank rw shared:5 - fuse.zfs tank rw\n");
    const Table t = LibmountVolumeWatch::readMountTable(dir.filePath("mountinfo"));
    EXPECT_EQ(t, (Table{{"/dev/vda", "/"}, {"/dev/sdb1", "/media/alice/My Disk"}, {"tank", "/tank"}}));
}

// Real mounts, in a mount namespace of this process so nobody else sees them.
TEST(LibmountVolumeWatch, ReportsRealMountsMovesAndUnmounts)
{
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "no private mount namespace (needs root)";
    // Inside the build tree: a bind mount of a real file system, not tmpfs.
    QTemporaryDir dir(QStringLiteral(TARNWELL_BINARY_DIR "/volwatch-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QByteArray src = dir.filePath("src").toUtf8(), a = dir.filePath("a").toUtf8(), b = dir.filePath("b").toUtf8();
    for (const QByteArray& d : {src, a, b})
        QDir().mkdir(d);

    LibmountVolumeWatch watch;
    watch.start();
    ASSERT_TRUE(watch.isWatching());
    QSignalSpy spy(&watch, &VolumeWatch::volumesChanged);
    auto next = [&] { return spy.isEmpty() && !spy.wait(3000) ? QVariant() : spy.takeFirst().at(0); };

    ASSERT_EQ(mount(src, a, nullptr, MS_BIND, nullptr), 0);
    EXPECT_EQ(next().value<Change>(), Change::Mounted);
    ASSERT_EQ(mount(a, b, nullptr, MS_MOVE, nullptr), 0);
    EXPECT_EQ(next().value<Change>(), Change::Renamed);
    ASSERT_EQ(umount(b), 0);
    EXPECT_EQ(next().value<Change>(), Change::Unmounted);

    // Quiet afterwards: no spinning. One stray change is tolerated: zfs-fuse
    // and other tests on this machine mount and unmount while we watch.
    QTest::qWait(300);
    EXPECT_LE(spy.size(), 1);
}
