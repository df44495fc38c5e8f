#include "helper/HelperPolicy.h"

#include <gtest/gtest.h>

TEST(Policy, VolumePaths)
{
    for (const char* path : {"/tank", "/media/alice/x", "/run/media/alice/x", "/home/alice/pool", "/mnt/x",
                             "/Volumes/Data"})
        EXPECT_TRUE(HelperPolicy::isVolumePath(path)) << path;
    for (const char* path : {"/", "", "tank", "/tank/", "/a//b", "/a/./b", "/tank/../etc", "/home", "/media",
                             "/run/media/alice", "/run/user/0", "/usr/local/x", "/etc", "/var/lib/x", "/boot/efi"})
        EXPECT_FALSE(HelperPolicy::isVolumePath(path)) << path;
}
