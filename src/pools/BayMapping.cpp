#include "pools/BayMapping.h"

#include "pools/BayMemory.h"
#include "pools/PoolViewRules.h"
#include "pools/ReplaceWorkflow.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {
const QStringList kBays{QStringLiteral("Slot-A"), QStringLiteral("Slot-B"),
                        QStringLiteral("Slot-C"), QStringLiteral("Slot-D")};

// disk3 for /dev/disk3; empty when there is nothing after the last slash.
QString diskName(const std::optional<QString>& devPath)
{
    if (!devPath)
        return QString();
    return devPath->mid(devPath->lastIndexOf(QLatin1Char('/')) + 1);
}

bool hasBay(const RaidStatus& m)
{
    return m.slotPath && !m.slotPath->isEmpty();
}

// The names a gone member may have been seen under: its own, and the device
// zpool says it was ("was /dev/disk93").
QStringList formerNames(const RaidStatus& m)
{
    QStringList names;
    if (m.DiskName)
        names << *m.DiskName;
    static const QRegularExpression was(QStringLiteral("\\bwas (\\S+)"));
    const QRegularExpressionMatch match = was.match(m.Others.value_or(QString()));
    if (match.hasMatch())
        names << match.captured(1).section(QLatin1Char('/'), -1);
    return names;
}

struct Enclosures {
    const TBList& list;
    QString identity(qsizetype i) const { return ReplaceWorkflow::enclosureIdentity(*list[i]); }
    // 1-based position of an attached enclosure, where there is more than one.
    std::optional<int> number(const QString& id) const
    {
        if (list.size() < 2 || id.isEmpty())
            return std::nullopt;
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (identity(i) == id)
                return int(i + 1);
        }
        return std::nullopt;
    }
    std::optional<QString> name(const QString& id) const
    {
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (identity(i) == id && list[i]->moduleName && !list[i]->moduleName->isEmpty())
                return list[i]->moduleName;
        }
        return std::nullopt;
    }
    // The one bay of that enclosure with no disk in it at all.
    QString singleEmptyBay(const QString& id) const
    {
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (identity(i) != id)
                continue;
            QStringList empty = kBays;
            for (const VRLHddInfoPtr& d : list[i]->hddArray) {
                if (d->slotPath)
                    empty.removeAll(*d->slotPath);
            }
            return empty.size() == 1 ? empty.first() : QString();
        }
        return QString();
    }
};
}  // namespace

void BayMapping::getDiskSlot(const RaidList& pools, const TBList& tbArray, BayMemory* memory)
{
    const Enclosures enclosures{tbArray};

    // A member named after an enclosure disk takes that disk's bay.
    for (qsizetype e = 0; e < tbArray.size(); ++e) {
        const QString id = enclosures.identity(e);
        for (const VRLHddInfoPtr& hdd : tbArray[e]->hddArray) {
            const QString name = diskName(hdd->devPath);
            if (name.isEmpty())
                continue;
            for (const RaidInfoPtr& pool : pools) {
                for (const RaidStatusPtr& member : pool->Status) {
                    if (!member->DiskName || *member->DiskName != name)
                        continue;
                    member->slotPath = hdd->slotPath;
                    if (hdd->slotPath) {
                        member->enclosure = id;
                        member->enclosureNumber = enclosures.number(id);
                        member->enclosureName = enclosures.name(id);
                        if (memory && pool->Name && !id.isEmpty())
                            memory->remember(*pool->Name, name,
                                             {id, *hdd->slotPath, hdd->hddSN.value_or(QString())});
                    }
                    break;
                }
            }
        }
    }

    // Members whose disk is gone: remembered bay, else an empty bay that
    // leaves no doubt, else unknown.
    QHash<QString, QList<RaidStatus*>> claims;  // enclosure + bay -> members placed there
    for (const RaidInfoPtr& pool : pools) {
        QList<RaidStatus*> gone;
        QSet<QString> holders;
        for (const RaidStatusPtr& m : pool->Status) {
            if (hasBay(*m) && m->enclosure)
                holders.insert(*m->enclosure);
            else if (!hasBay(*m) && PoolViewRules::isDeviceRow(*m) &&
                     m->State.value_or(QString()) != QLatin1String("ONLINE"))
                gone << m.get();
        }
        for (RaidStatus* m : gone) {
            std::optional<BayMemory::Place> place;
            for (const QString& name : formerNames(*m)) {
                if (memory && pool->Name && !place)
                    place = memory->recall(*pool->Name, name);
            }
            if (!place && gone.size() == 1 && holders.size() == 1) {
                const QString bay = enclosures.singleEmptyBay(*holders.begin());
                if (!bay.isEmpty())
                    place = BayMemory::Place{*holders.begin(), bay, {}};
            }
            if (!place) {
                m->slotPath = UnknownBay;
                continue;
            }
            m->slotPath = place->slot;
            m->enclosure = place->enclosure;
            m->enclosureNumber = enclosures.number(place->enclosure);
            m->enclosureName = enclosures.name(place->enclosure);
            claims[place->enclosure + QLatin1Char('\n') + place->slot] << m;
        }
    }
    for (const QList<RaidStatus*>& members : std::as_const(claims)) {
        if (members.size() < 2)
            continue;
        for (RaidStatus* m : members) {
            m->slotPath = UnknownBay;
            m->enclosure.reset();
            m->enclosureNumber.reset();
            m->enclosureName.reset();
        }
    }
    if (memory)
        memory->save();
}

QString BayMapping::bayText(const RaidStatus& member)
{
    const QString slot = member.slotPath.value_or(QString());
    if (member.enclosureNumber && slot != UnknownBay && !slot.isEmpty())
        return QStringLiteral("%1, enclosure %2").arg(slot).arg(*member.enclosureNumber);
    return slot;
}

std::optional<QString> BayMapping::enclosureText(const RaidStatus& member)
{
    if (member.slotPath.value_or(UnknownBay) == UnknownBay || !member.enclosure)
        return std::nullopt;
    // Two enclosures of one model share a name; their position tells them apart.
    QStringList words;
    if (member.enclosureName)
        words << *member.enclosureName;
    if (member.enclosureNumber)
        words << QStringLiteral("enclosure %1").arg(*member.enclosureNumber);
    return words.isEmpty() ? QStringLiteral("enclosure") : words.join(QLatin1Char(' '));
}

QString BayMapping::placeText(const RaidStatus& member)
{
    const QString slot = member.slotPath.value_or(QString());
    if (slot.isEmpty())
        return QString();
    if (slot == UnknownBay)
        return QStringLiteral("an unknown bay");
    const std::optional<QString> enclosure = enclosureText(member);
    return enclosure ? QStringLiteral("%1 of %2").arg(slot, *enclosure) : slot;
}
