#include "pools/DiskContents.h"

#include <QRegularExpression>

namespace DiskContents {

namespace {
QString lastComponent(const QString& path)
{
    return path.section(QLatin1Char('/'), -1);
}
}  // namespace

bool namesDisk(const QString& device, const QString& disk)
{
    const QString name = lastComponent(device);
    if (disk.isEmpty() || !name.startsWith(disk))
        return false;
    const QString rest = name.mid(disk.size());
    if (rest.isEmpty())
        return true;
    // disk9 + "3" is disk93, another disk; sdb + "1" is sdb's partition.
    static const QRegularExpression afterDigit(QStringLiteral("^[sp][0-9]+$"));
    static const QRegularExpression afterLetter(QStringLiteral("^[0-9]+$"));
    return (disk.back().isDigit() ? afterDigit : afterLetter).match(rest).hasMatch();
}

Holding holding(const VRLHddInfo& disk, const RaidList& pools, const QString& ignorePool,
                const QString& ignoreMember)
{
    Holding h;
    const QString name = lastComponent(disk.devPath.value_or(QString()));
    if (!name.isEmpty()) {
        for (const RaidInfoPtr& p : pools) {
            const QString pool = p->Name.value_or(QString());
            for (const RaidStatusPtr& m : p->Status) {
                const QString device = m->DiskName.value_or(QString());
                if (pool == ignorePool && device == ignoreMember)
                    continue;
                if (h.importedPool.isEmpty() && namesDisk(device, name))
                    h.importedPool = pool;
            }
            for (const QString& device : p->ejectedDisks) {
                if (h.ejectedPool.isEmpty() && namesDisk(device, name))
                    h.ejectedPool = pool;
            }
        }
    }
    for (const VRLBsdInfoPtr& part : disk.bsdPathArray) {
        if (!part)
            continue;
        const QString volume = part->mountPoint && !part->mountPoint->isEmpty()
                                   ? lastComponent(*part->mountPoint)
                                   : lastComponent(part->devPath.value_or(QString()));
        if (!volume.isEmpty())
            h.volumes << volume;
    }
    // Content Tarnwell cannot name (a partition table, a file system) counts too.
    if (!disk.isUnFormated && h.blank())
        h.otherContent = QStringLiteral("data");
    return h;
}

QString summary(const Holding& h)
{
    if (!h.importedPool.isEmpty())
        return h.importedPool;
    if (!h.ejectedPool.isEmpty())
        return QStringLiteral("%1 (ejected)").arg(h.ejectedPool);
    return h.volumes.join(QStringLiteral(", "));
}

QString sentence(const VRLHddInfo& disk, const Holding& h)
{
    QString which = lastComponent(disk.devPath.value_or(QString()));
    if (disk.slotPath)
        which += QStringLiteral(" in ") + *disk.slotPath;
    if (!h.importedPool.isEmpty())
        return QStringLiteral("%1 belongs to the RAID set %2, which is in use.").arg(which, h.importedPool);
    if (!h.ejectedPool.isEmpty())
        return QStringLiteral("%1 holds the ejected RAID set %2.").arg(which, h.ejectedPool);
    if (!h.volumes.isEmpty())
        return QStringLiteral("%1 holds the volume%2 %3.")
            .arg(which, h.volumes.size() > 1 ? QStringLiteral("s") : QString(),
                 h.volumes.join(QStringLiteral(", ")));
    if (!h.otherContent.isEmpty())
        return QStringLiteral("%1 holds a partition table or file system.").arg(which);
    return QStringLiteral("%1 is blank.").arg(which);
}

}  // namespace DiskContents
