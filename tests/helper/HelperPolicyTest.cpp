#include "helper/HelperPolicy.h"

#include <gtest/gtest.h>

namespace {
HelperPolicy::Context context()
{
    HelperPolicy::Context c;
    c.zpoolPaths = {"/usr/sbin/zpool"};
    c.chownPaths = {"/usr/bin/chown"};
    c.umountPaths = {"/usr/bin/umount", "/bin/umount"};
    c.user = "alice";
    c.userGroups = {"alice", "staff"};
    c.zfsMountPoints = {"/tank", "/", "/var/lib/pool", "/media/alice/Data"};
    c.mountedBlockDevices = {{"/dev/sdb1", {"/media/alice/STICK"}},
                             {"/dev/sdb2", {"/mnt/backup", "/media/alice/B"}},
                             {"/dev/sda2", {"/"}},
                             {"/dev/sdc1", {"/media/alice/X", "/boot"}}};
    return c;
}

struct Case {
    const char* tool;
    QStringList args;
    bool allowed;
};

const Case cases[] = {
    // What the pool verbs, pool creation and disk replacement send.
    {"/usr/sbin/zpool", {"list"}, true},
    {"/usr/sbin/zpool", {"status", "-L"}, true},
    {"/usr/sbin/zpool", {"import"}, true},
    {"/usr/sbin/zpool", {"import", "tank"}, true},
    {"/usr/sbin/zpool", {"export", "tank"}, true},
    {"/usr/sbin/zpool", {"destroy", "tank"}, true},
    {"/usr/sbin/zpool", {"replace", "-f", "tank", "disk3", "disk5"}, true},
    {"/usr/sbin/zpool", {"replace", "-f", "tank", "/dev/disk3", "/dev/disk5"}, true},
    {"/usr/sbin/zpool", {"online", "tank", "disk3"}, true},
    {"/usr/sbin/zpool",
     {"create", "-f", "-o", "ashift=13", "-O", "casesensitivity=insensitive", "-O",
      "normalization=formD", "Data", "raidz", "/dev/disk2", "/dev/disk3", "/dev/disk4"},
     true},
    {"/usr/sbin/zpool", {"create", "Data", "/dev/disk2"}, true},
    {"/usr/sbin/zpool", {"create", "-f", "-o", "ashift=12", "My Pool", "/dev/disk2"}, true},
    {"/usr/sbin/zpool", {"create", "-m", "/Volumes/Data", "Data", "disk2"}, true},
    {"/usr/sbin/zpool", {"create", "-O", "mountpoint=/media/alice/Data", "Data", "disk2"}, true},
    {"/usr/sbin/zpool", {"create", "-O", "com.example:tag=x y", "Data", "disk2"}, true},
    {"/usr/bin/chown", {"-R", "alice:staff", "/tank"}, true},
    {"/usr/bin/umount", {"/dev/sdb1"}, true},
    {"/bin/umount", {"/dev/sdb2"}, true},

    // Tools Tarnwell does not run.
    {"/bin/sh", {"-c", "id"}, false},
    {"/usr/local/bin/zpool", {"list"}, false},  // not installed here
    {"/usr/sbin/zpool/../../bin/sh", {}, false},
    // zpool beyond its use.
    {"/usr/sbin/zpool", {}, false},
    {"/usr/sbin/zpool", {"upgrade", "-a"}, false},
    {"/usr/sbin/zpool", {"set", "cachefile=/etc/shadow", "tank"}, false},
    {"/usr/sbin/zpool", {"destroy", "-f", "tank"}, false},
    {"/usr/sbin/zpool", {"export"}, false},
    {"/usr/sbin/zpool", {"export", "tank", "other"}, false},
    {"/usr/sbin/zpool", {"export", ""}, false},
    {"/usr/sbin/zpool", {"import", "-d", "/tmp", "tank"}, false},
    {"/usr/sbin/zpool", {"import", "tank", "newname"}, false},
    {"/usr/sbin/zpool", {"status", "tank\n"}, false},
    {"/usr/sbin/zpool", {"replace", "tank", "disk3", "/etc/passwd"}, false},
    {"/usr/sbin/zpool", {"replace", "-f", "tank", "disk3", "/dev/../etc/passwd"}, false},
    {"/usr/sbin/zpool", {"online", "tank", "-e", "disk3"}, false},
    {"/usr/sbin/zpool", {"detach", "tank"}, false},
    // create: options of the form -x and k=v, held to safe places.
    {"/usr/sbin/zpool", {"create", "-o", "cachefile=/etc/shadow", "Data", "disk2"}, false},
    {"/usr/sbin/zpool", {"create", "-m", "/etc", "Data", "disk2"}, false},
    {"/usr/sbin/zpool", {"create", "-O", "mountpoint=/", "Data", "disk2"}, false},
    {"/usr/sbin/zpool", {"create", "-R", "/usr", "Data", "disk2"}, false},
    {"/usr/sbin/zpool", {"create", "-o", "Data", "disk2"}, false},
    {"/usr/sbin/zpool", {"create", "-t", "tmp", "Data", "disk2"}, false},
    {"/usr/sbin/zpool", {"create", "-f"}, false},
    {"/usr/sbin/zpool", {"create", "Data"}, false},
    {"/usr/sbin/zpool", {"create", "Data", "/tmp/file"}, false},
    {"/usr/sbin/zpool", {"create", "Data", "disk2", "-f"}, false},
    // chown: the requesting user, one of their groups, a pool's mount point.
    {"/usr/bin/chown", {"-R", "bob:staff", "/tank"}, false},
    {"/usr/bin/chown", {"-R", "alice:wheel", "/tank"}, false},
    {"/usr/bin/chown", {"-R", "alice:staff", "/"}, false},
    {"/usr/bin/chown", {"-R", "alice:staff", "/var/lib/pool"}, false},
    {"/usr/bin/chown", {"-R", "alice:staff", "/tank/../etc"}, false},
    {"/usr/bin/chown", {"-R", "alice:staff", "/media/alice/STICK"}, false},
    {"/usr/bin/chown", {"alice:staff", "/tank"}, false},
    {"/usr/bin/chown", {"-R", "alice:staff", "/tank", "/etc"}, false},
    // umount: one mounted device under /dev, away from the system.
    {"/usr/bin/umount", {"/dev/sda2"}, false},
    {"/usr/bin/umount", {"/dev/sdc1"}, false},
    {"/usr/bin/umount", {"/dev/sdd1"}, false},
    {"/usr/bin/umount", {"-l", "/dev/sdb1"}, false},
    {"/usr/bin/umount", {"/dev/../dev/sdb1"}, false},
    {"/usr/bin/umount", {"/media/alice/STICK"}, false},
};

class Policy : public ::testing::TestWithParam<Case> {};
}  // namespace

TEST_P(Policy, AllowsOnlyWhatTarnwellSends)
{
    const Case& c = GetParam();
    const HelperPolicy::Verdict v = HelperPolicy::check(c.tool, c.args, context());
    EXPECT_EQ(v.allowed, c.allowed) << qPrintable(c.tool) << " " << qPrintable(c.args.join(" | "))
                                    << " -> " << qPrintable(v.reason);
    EXPECT_EQ(v.reason.isEmpty(), c.allowed);
}

INSTANTIATE_TEST_SUITE_P(Table, Policy, ::testing::ValuesIn(cases));

TEST(Policy, VolumePaths)
{
    for (const char* path : {"/tank", "/media/alice/x", "/run/media/alice/x", "/home/alice/pool", "/mnt/x",
                             "/Volumes/Data"})
        EXPECT_TRUE(HelperPolicy::isVolumePath(path)) << path;
    for (const char* path : {"/", "", "tank", "/tank/", "/a//b", "/a/./b", "/tank/../etc", "/home", "/media",
                             "/run/media/alice", "/run/user/0", "/usr/local/x", "/etc", "/var/lib/x", "/boot/efi"})
        EXPECT_FALSE(HelperPolicy::isVolumePath(path)) << path;
}
