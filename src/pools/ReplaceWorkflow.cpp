#include "pools/ReplaceWorkflow.h"

#include "zpool/ZpoolList.h"

#include <QSet>

#include <algorithm>

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

namespace {
struct DiskKey {
    QString serial, devPath;
    qint64 size = 0;
};

DiskKey keyOf(const VRLHddInfo& d)
{
    return {d.hddSN.value_or(QString()), d.devPath.value_or(QString()), d.diskSize.value_or(0)};
}

QString describe(const VRLHddInfo& d)
{
    QString s = diskNameOf(d.devPath.value_or(QString()));
    if (s.isEmpty())
        s = QStringLiteral("a disk without a device name");
    if (d.slotPath)
        s += QStringLiteral(" in ") + *d.slotPath;
    return s;
}

bool serialsUnique(const QList<DiskKey>& keys)
{
    QSet<QString> seen;
    for (const DiskKey& k : keys) {
        if (k.serial.isEmpty() || seen.contains(k.serial))
            return false;
        seen.insert(k.serial);
    }
    return true;
}

VRLThunderboltInfoPtr enclosureNamed(const TBList& enclosures, const QString& identity, QString* problem)
{
    QList<VRLThunderboltInfoPtr> matches;
    for (const VRLThunderboltInfoPtr& e : enclosures) {
        if (!identity.isEmpty() && enclosureIdentity(*e) == identity)
            matches << e;
    }
    if (identity.isEmpty())
        *problem = QStringLiteral("the enclosure of the failed disk is unknown");
    else if (matches.isEmpty())
        *problem = QStringLiteral("the enclosure of the failed disk is not attached");
    else if (matches.size() > 1)
        *problem = QStringLiteral("several enclosures answer to %1").arg(identity);
    return matches.size() == 1 ? matches.first() : nullptr;
}
}  // namespace

QString diskSnapshot(const TBList& enclosures, const QString& identity)
{
    QString problem;
    const VRLThunderboltInfoPtr e = enclosureNamed(enclosures, identity, &problem);
    QStringList lines;
    if (e) {
        for (const VRLHddInfoPtr& d : e->hddArray) {
            const DiskKey k = keyOf(*d);
            lines << QStringLiteral("%1\t%2\t%3").arg(k.serial, k.devPath).arg(k.size);
        }
    }
    return lines.join(QLatin1Char('\n'));
}

NewDiskSearch findNewDisk(const TBList& enclosures, const QString& identity, const QString& bay,
                          const QString& snapshot)
{
    NewDiskSearch result;
    const VRLThunderboltInfoPtr enclosure = enclosureNamed(enclosures, identity, &result.problem);
    if (!enclosure)
        return result;

    QList<DiskKey> before;
    for (const QString& line : snapshot.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        before.append({f.value(0), f.value(1), f.value(2).toLongLong()});
    }
    QList<DiskKey> now;
    for (const VRLHddInfoPtr& d : enclosure->hddArray)
        now << keyOf(*d);

    // Some bridges give every disk the same placeholder serial.
    const bool bySerial = serialsUnique(before) && serialsUnique(now);
    if (!bySerial)
        result.note = QStringLiteral("serial numbers in the enclosure are not unique; disks told apart "
                                     "by device and size");
    HddList fresh;
    QStringList present;
    for (const VRLHddInfoPtr& d : enclosure->hddArray) {
        const DiskKey k = keyOf(*d);
        const bool known = std::any_of(before.cbegin(), before.cend(), [&](const DiskKey& b) {
            return bySerial ? b.serial == k.serial : b.devPath == k.devPath && b.size == k.size;
        });
        present << describe(*d);
        if (!known)
            fresh << d;
    }
    if (fresh.isEmpty()) {
        result.problem = present.isEmpty()
                             ? QStringLiteral("the enclosure holds no disk")
                             : QStringLiteral("no new disk appeared in the enclosure; it holds %1")
                                   .arg(present.join(QStringLiteral(", ")));
        return result;
    }
    if (fresh.size() > 1) {
        QStringList names;
        for (const VRLHddInfoPtr& d : fresh)
            names << describe(*d);
        result.problem = QStringLiteral("%1 new disks appeared (%2) and Tarnwell cannot tell which one is "
                                        "the replacement")
                             .arg(fresh.size())
                             .arg(names.join(QStringLiteral(", ")));
        return result;
    }
    const VRLHddInfoPtr& disk = fresh.first();
    if (!disk->devPath || disk->devPath->isEmpty()) {
        result.problem = QStringLiteral("the new disk%1 has no device name yet")
                             .arg(disk->slotPath ? QStringLiteral(" in ") + *disk->slotPath : QString());
        return result;
    }
    if (!bay.isEmpty() && disk->slotPath.value_or(QString()) != bay) {
        const QString moved = QStringLiteral("the new disk sits in %1, not in %2")
                                  .arg(disk->slotPath.value_or(QStringLiteral("no bay")), bay);
        result.note = result.note.isEmpty() ? moved : result.note + QStringLiteral("; ") + moved;
    }
    result.disk = disk;
    return result;
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
    for (const RaidInfoPtr& p : ZpoolList::ShowRAIDList(listText)) {
        if (p->Name && *p->Name == pool)
            return false;
    }
    return true;
}

}  // namespace ReplaceWorkflow
