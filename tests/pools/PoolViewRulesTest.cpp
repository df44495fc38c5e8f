#include "pools/PoolViewRules.h"

#include <gtest/gtest.h>

using namespace PoolViewRules;

TEST(PoolViewRules, ListSelectionAndColourByHealth)
{
    const struct {
        std::optional<QString> health;
        bool eject, mount, red;
    } rows[] = {
        {QStringLiteral("ONLINE"), true, false, false},
        {QStringLiteral("DEGRADED"), true, false, true},
        {QStringLiteral("EJECTED"), false, true, false},
        {QStringLiteral("DEGRADED EJECTED"), false, true, true},
        {QStringLiteral("FAULTED"), false, true, true},
        {QStringLiteral("online"), false, true, true},  // exact, case-sensitive
        {std::nullopt, false, true, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.health.value_or("<absent>").toStdString());
        RaidInfo p;
        p.Name = QStringLiteral("tank");
        p.Health = r.health;
        const ButtonStates s = listSelectChange(&p);
        EXPECT_EQ(s.del, true);
        EXPECT_EQ(s.eject, r.eject);
        EXPECT_EQ(s.mount, r.mount);
        EXPECT_FALSE(s.newBtn || s.update || s.replace || s.detach || s.online);  // left as they are
        EXPECT_EQ(poolRowColour(p), r.red ? TextColour::Red : TextColour::Black);
    }
    const ButtonStates none = listSelectChange(nullptr);
    EXPECT_EQ(none.del, false);
    EXPECT_EQ(none.eject, false);
    EXPECT_EQ(none.mount, false);
    EXPECT_FALSE(none.replace.has_value());
}

TEST(PoolViewRules, ReplaceOnlyForFailedDevicesOfRedundantPools)
{
    const struct {
        const char* name;
        const char* state;
        const char* mode;
        bool replace;
    } rows[] = {
        {"disk3", "UNAVAIL", "RaidZ", true},
        {"1234567890123456789", "UNAVAIL", "RaidZ2", true},
        {"disk3", "FAULTED", "Mirror", true},
        {"disk3", "ONLINE", "RaidZ", false},
        {"disk3", "UNAVAIL", "Striped", false},
        // Group lines cannot be handed to zpool replace.
        {"mirror-0", "DEGRADED", "Mirror", false},
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
        EXPECT_EQ(memberRowColour(m), QLatin1String(r.state) == "ONLINE" ? TextColour::Black : TextColour::Red);
    }
    EXPECT_EQ(statusSelectChange(nullptr).replace, false);  // nothing selected, nothing to replace
}
