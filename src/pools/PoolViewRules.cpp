#include "pools/PoolViewRules.h"

#include "pools/BayMapping.h"

#include <QRegularExpression>

namespace PoolViewRules {

namespace {
QString text(const std::optional<QString>& field)
{
    return field.value_or(QString());
}
bool is(const std::optional<QString>& field, const char* word)
{
    return field && *field == QLatin1String(word);
}
}  // namespace

ButtonStates viewLoaded(bool gateOpen)
{
    ButtonStates s;
    s.newBtn = gateOpen;
    s.update = gateOpen;
    s.del = s.eject = s.mount = s.replace = s.detach = s.online = false;
    s.detachVisible = s.onlineVisible = false;
    return s;
}

ButtonStates listSelectChange(const RaidInfo* selectedPool)
{
    ButtonStates s;
    if (!selectedPool) {
        s.del = s.eject = s.mount = false;
        return s;
    }
    const bool imported = is(selectedPool->Health, "ONLINE") || is(selectedPool->Health, "DEGRADED");
    s.eject = imported;
    s.mount = !imported;
    s.del = true;
    return s;
}

ButtonStates statusSelectChange(const RaidStatus* selectedMember)
{
    // With no member selected Replace has nothing to act on.
    ButtonStates s;
    s.replace = selectedMember && replaceAllowed(*selectedMember);
    return s;
}

int rowOfPool(const RaidList& pools, const RaidInfo& pool)
{
    // The same name may be listed twice, imported and ejected: prefer the
    // record in the same state, then the name alone.
    int byName = -1;
    for (int i = 0; i < int(pools.size()); ++i) {
        const RaidInfo& p = *pools.at(i);
        if (!p.Name || p.Name != pool.Name)
            continue;
        if (p.Health == pool.Health)
            return i;
        if (byName < 0)
            byName = i;
    }
    return byName;
}

bool isDeviceRow(const RaidStatus& member)
{
    // Group vdevs are named <type>-<index>; a disk is named by its device or,
    // once it has gone, by a bare number.
    static const QRegularExpression group(QStringLiteral(
        "^(mirror|replacing|spare|raidz[1-3]?|draid[1-3]?(:[0-9a-z:]*)?)-[0-9]+$"));
    const QString name = text(member.DiskName);
    return !name.isEmpty() && !group.match(name).hasMatch();
}

bool replaceAllowed(const RaidStatus& member)
{
    return !is(member.raidMode, "Striped") && !is(member.State, "ONLINE") && isDeviceRow(member);
}

TextColour poolRowColour(const RaidInfo& pool)
{
    return is(pool.Health, "ONLINE") || is(pool.Health, "EJECTED") ? TextColour::Black
                                                                    : TextColour::Red;
}

TextColour memberRowColour(const RaidStatus& member)
{
    return is(member.State, "ONLINE") ? TextColour::Black : TextColour::Red;
}

QString poolCellText(const RaidInfo& pool, const QString& id)
{
    if (id == QLatin1String("Name")) return text(pool.Name);
    if (id == QLatin1String("RaidMode")) return text(pool.RaidMode);
    if (id == QLatin1String("Size")) return text(pool.Size);
    if (id == QLatin1String("Alloc")) return text(pool.Alloc);
    if (id == QLatin1String("Free")) return text(pool.Free);
    if (id == QLatin1String("Capacity")) return text(pool.Capacity);
    if (id == QLatin1String("Health")) return text(pool.Health);
    return QStringLiteral("-");
}

QString memberCellText(const RaidStatus& m, const QString& id)
{
    if (id == QLatin1String("Name")) return text(m.DiskName);
    if (id == QLatin1String("RaidMode")) return text(m.raidMode);
    if (id == QLatin1String("MountOn")) return text(m.mountOn);
    if (id == QLatin1String("Slot")) return BayMapping::bayText(m);
    if (id == QLatin1String("Status")) return text(m.State);
    if (id == QLatin1String("Read")) return text(m.Read);
    if (id == QLatin1String("Write")) return text(m.Write);
    if (id == QLatin1String("CKSum")) return text(m.CKSum);
    if (id == QLatin1String("Others")) return text(m.Others);
    return QStringLiteral("-");
}

bool releaseInfoIgnores(const QString& cmd)
{
    return cmd == QLatin1String("LIST") || cmd == QLatin1String("LIST EJECTED") ||
           cmd == QLatin1String("STATUS");
}

UserInfo workerRequest(const QString& cmd, const QString& pool, const QString& disk1,
                       const QString& disk2)
{
    return {{QStringLiteral("CMD"), cmd},
            {QStringLiteral("PoolName"), pool},
            {QStringLiteral("Disk1"), disk1.isNull() ? QStringLiteral("") : disk1},
            {QStringLiteral("Disk2"), disk2.isNull() ? QStringLiteral("") : disk2}};
}

}  // namespace PoolViewRules
