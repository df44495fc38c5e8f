#include "pools/PoolViewRules.h"

#include <gtest/gtest.h>

using namespace PoolViewRules;

TEST(PoolViewRules, ReplaceOnlyForFailedDevicesOfRedundantPools)
{
    const struct { const char* name; const char* state; const char* mode; bool replace; } rows[] = {
        {"disk3", "UNAVAIL", "RaidZ", true},
        {"1234567890123456789", "UNAVAIL", "RaidZ2", true},
        {"disk3", "FAULTED", "Mirror", true},
        {"disk3", "ONLINE", "RaidZ", false},
        {"disk3", "UNAVAIL", "Striped", false},
        {"mirror-0", "DEGRADED", "Mirror", false},  // group lines cannot be handed to zpool replace
        {"replacing-1", "DEGRADED", "RaidZ", false},
        {"spare-2", "DEGRADED", "RaidZ", false},
        {"raidz2-0", "DEGRADED", "RaidZ2", false},
        {"draid1:2d:4c:0s-0", "DEGRADED", "RaidZ", false},
        {"mirror-disk", "UNAVAIL", "Mirror", true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        RaidStatus m;
        m.DiskName = r.name;
        m.State = r.state;
        m.raidMode = r.mode;
        EXPECT_EQ(statusSelectChange(&m).replace, r.replace);
    }
    EXPECT_EQ(statusSelectChange(nullptr).replace, false);  // nothing selected, nothing to replace
}
