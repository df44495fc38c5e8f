#include "pools/ReplaceWorkflow.h"

#include "pools/RaidParsers.h"

#include <QSet>

namespace ReplaceWorkflow {

QString diskNameOf(const QString& devPath)
{
    return devPath.section(QLatin1Char('/'), -1);
}

QString enclosureIdentity(const VRLThunderboltInfo& e)
{
    if (e.uid && *e.uid != 0)
        return QStringLiteral("uid:%1").arg(*e.uid);
    if (e.tbPath && !e.tbPath->isEmpty())
        return QStringLiteral("tbPath:") + *e.tbPath;
    return QString();
}

EnclosureGuess enclosureOfPool(const RaidInfo& pool, const TBList& enclosures)
{
    QSet<QString> members;
    for (const RaidStatusPtr& m : pool.Status) {
        if (m && m->DiskName && !m->DiskName->isEmpty())
            members.insert(*m->DiskName);
    }
    QList<VRLThunderboltInfoPtr> holders;
    for (const VRLThunderboltInfoPtr& e : enclosures) {
        for (const VRLHddInfoPtr& d : e->hddArray) {
            if (d->devPath && !d->devPath->isEmpty() && members.contains(diskNameOf(*d->devPath))) {
                holders << e;
                break;
            }
        }
    }
    const QString name = pool.Name.value_or(QString());
    if (holders.isEmpty())
        return {QString(), QStringLiteral("no attached enclosure holds a member of %1").arg(name)};
    if (holders.size() > 1)
        return {QString(), QStringLiteral("the members of %1 sit in %2 enclosures")
                               .arg(name)
                               .arg(holders.size())};
    const QString id = enclosureIdentity(*holders.first());
    if (id.isEmpty())
        return {QString(), QStringLiteral("the enclosure holding %1 has neither UID nor path").arg(name)};
    return {id, QString()};
}

NewDiskSearch findNewDisk(const TBList& enclosures, const QString& identity, const QString& slot)
{
    if (identity.isEmpty())
        return {nullptr, QStringLiteral("the enclosure of the failed disk is unknown")};
    QList<VRLThunderboltInfoPtr> matches;
    for (const VRLThunderboltInfoPtr& e : enclosures) {
        if (enclosureIdentity(*e) == identity)
            matches << e;
    }
    if (matches.isEmpty())
        return {nullptr, QStringLiteral("the enclosure of the failed disk is not attached")};
    if (matches.size() > 1)
        return {nullptr, QStringLiteral("several enclosures answer to %1").arg(identity)};
    HddList inBay;
    for (const VRLHddInfoPtr& d : matches.first()->hddArray) {
        if (d->slotPath && *d->slotPath == slot)
            inBay << d;
    }
    if (inBay.isEmpty())
        return {nullptr, QString()};
    if (inBay.size() > 1)
        return {nullptr, QStringLiteral("%1 disks report %2").arg(inBay.size()).arg(slot)};
    const VRLHddInfoPtr& disk = inBay.first();
    if (!disk->devPath || disk->devPath->isEmpty())
        return {nullptr, QStringLiteral("the disk in %1 has no device name yet").arg(slot)};
    return {disk, QString()};
}

QString poolUsingDisk(const RaidList& pools, const QString& diskName, const QString& pool,
                      const QString& oldDisk)
{
    for (const RaidInfoPtr& p : pools) {
        const QString name = p->Name.value_or(QString());
        if (name == pool && diskName == oldDisk)
            continue;
        for (const RaidStatusPtr& m : p->Status) {
            if (m->DiskName && *m->DiskName == diskName)
                return name;
        }
    }
    return QString();
}

bool exportConfirmed(const QString& listText, const QString& pool)
{
    if (listText.contains(QLatin1String("no pools available")))
        return true;
    if (listText.contains(QLatin1String("Failed to load ZFS module stack.")))
        return false;
    // Without the header we did not get a listing at all (tool missing,
    // daemon down), and absence from it proves nothing.
    bool header = false;
    for (const QString& line : listText.split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("NAME")) && line.contains(QLatin1String("HEALTH")))
            header = true;
    }
    if (!header)
        return false;
    for (const RaidInfoPtr& p : RaidParsers::ShowRAIDList(listText)) {
        if (p->Name && *p->Name == pool)
            return false;
    }
    return true;
}

}  // namespace ReplaceWorkflow
