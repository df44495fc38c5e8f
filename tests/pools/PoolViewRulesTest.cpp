#include "pools/PoolViewRules.h"

#include <gtest/gtest.h>

using namespace PoolViewRules;

namespace {
RaidInfo pool(std::optional<QString> health)
{
    RaidInfo p;
    p.Name = QStringLiteral("tank");
    p.Health = std::move(health);
    return p;
}
RaidStatus member(const QString& name, const QString& state, const QString& mode)
{
    RaidStatus m;
    m.DiskName = name;
    m.State = state;
    m.raidMode = mode;
    return m;
}
}  // namespace

TEST(PoolViewRules, ListSelectionByHealth)
{
    struct Row {
        std::optional<QString> health;
        bool eject, mount;
    };
    const Row rows[] = {
        {QStringLiteral("ONLINE"), true, false},
        {QStringLiteral("DEGRADED"), true, false},
        {QStringLiteral("EJECTED"), false, true},
        {QStringLiteral("DEGRADED EJECTED"), false, true},
        {QStringLiteral("FAULTED"), false, true},
        {QStringLiteral("online"), false, true},  // exact, case-sensitive
        {std::nullopt, false, true},
    };
    for (const Row& r : rows) {
        const RaidInfo p = pool(r.health);
        const ButtonStates s = listSelectChange(&p);
        SCOPED_TRACE(r.health.value_or("<absent>").toStdString());
        EXPECT_EQ(s.del, true);
        EXPECT_EQ(s.eject, r.eject);
        EXPECT_EQ(s.mount, r.mount);
        EXPECT_FALSE(s.newBtn || s.update || s.replace || s.detach || s.online);
    }
    const ButtonStates none = listSelectChange(nullptr);
    EXPECT_EQ(none.del, false);
    EXPECT_EQ(none.eject, false);
    EXPECT_EQ(none.mount, false);
    EXPECT_FALSE(none.replace.has_value());
}

TEST(PoolViewRules, MemberSelectionEnablesReplaceOnlyForFailedDevicesOfRedundantPools)
{
    struct Row {
        const char* name;
        const char* state;
        const char* mode;
        bool replace;
    };
    const Row rows[] = {
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
    for (const Row& r : rows) {
        const RaidStatus m = member(r.name, r.state, r.mode);
        SCOPED_TRACE(r.name);
        EXPECT_EQ(statusSelectChange(&m).replace, r.replace);
    }
    const ButtonStates none = statusSelectChange(nullptr);
    EXPECT_FALSE(none.replace.has_value());  // clicking empty space changes nothing
}

TEST(PoolViewRules, Colours)
{
    EXPECT_EQ(poolRowColour(pool(QStringLiteral("ONLINE"))), TextColour::Black);
    EXPECT_EQ(poolRowColour(pool(QStringLiteral("EJECTED"))), TextColour::Black);
    EXPECT_EQ(poolRowColour(pool(QStringLiteral("DEGRADED"))), TextColour::Red);
    EXPECT_EQ(poolRowColour(pool(QStringLiteral("DEGRADED EJECTED"))), TextColour::Red);
    EXPECT_EQ(poolRowColour(pool(std::nullopt)), TextColour::Red);
    EXPECT_EQ(memberRowColour(member("d", "ONLINE", "RaidZ")), TextColour::Black);
    EXPECT_EQ(memberRowColour(member("d", "UNAVAIL", "RaidZ")), TextColour::Red);
}

TEST(PoolViewRules, CellTextByIdentifier)
{
    RaidInfo p = pool(QStringLiteral("ONLINE"));
    p.RaidMode = "RaidZ";
    p.Size = "3.62T";
    p.Alloc = "1.20T";
    p.Free = "2.42T";
    p.Capacity = "33%";
    const QList<std::pair<QString, QString>> poolCells = {
        {"Name", "tank"}, {"RaidMode", "RaidZ"}, {"Size", "3.62T"}, {"Alloc", "1.20T"}, {"Free", "2.42T"},
        {"Capacity", "33%"}, {"Health", "ONLINE"}, {"Slot", "-"}, {"", "-"}, {"name", "-"}};
    for (const auto& [id, text] : poolCells)
        EXPECT_EQ(poolCellText(p, id), text) << id.toStdString();
    EXPECT_EQ(poolCellText(RaidInfo{}, "Size"), "");  // absent field: empty cell

    RaidStatus m = member("disk3", "ONLINE", "RaidZ");
    m.mountOn = "tank";
    m.slotPath = "Slot-B";
    m.Read = "1";
    m.Write = "2";
    m.CKSum = "3";
    m.Others = "was /dev/disk3 ";
    const QList<std::pair<QString, QString>> memberCells = {
        {"Name", "disk3"}, {"RaidMode", "RaidZ"}, {"MountOn", "tank"}, {"Slot", "Slot-B"},
        {"Status", "ONLINE"}, {"Read", "1"}, {"Write", "2"}, {"CKSum", "3"},
        {"Others", "was /dev/disk3 "}, {"Health", "-"}, {"State", "-"}};
    for (const auto& [id, text] : memberCells)
        EXPECT_EQ(memberCellText(m, id), text) << id.toStdString();
}

TEST(PoolViewRules, RefreshVerbsAreIgnored)
{
    for (const char* cmd : {"LIST", "LIST EJECTED", "STATUS"})
        EXPECT_TRUE(releaseInfoIgnores(cmd)) << cmd;
    for (const char* cmd : {"EJECT", "MOUNT", "DELETE", "REPLACE", "DETACH", "ONLINE", "list", ""})
        EXPECT_FALSE(releaseInfoIgnores(cmd)) << cmd;
}
