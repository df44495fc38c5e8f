#include "create/DiskColumns.h"

#include "create/StringFromFileSize.h"

QString DiskColumns::cellText(const VRLHddInfo& disk, const QString& identifier, const QString& holds)
{
    if (identifier == Model)
        return disk.hddModel.value_or(QString());
    if (identifier == SN)
        return disk.hddSN.value_or(QString());
    if (identifier == Available)
        return stringFromFileSize(static_cast<quint64>(disk.diskSize.value_or(0)));
    if (identifier == Slot)
        return disk.slotPath.value_or(QString());
    if (identifier == DiskPath)
        return disk.devPath.value_or(QString());
    if (identifier == MountPoint) {
        if (!holds.isEmpty())
            return holds;
        if (disk.bsdPathArray.isEmpty())
            return QStringLiteral("-");
        const VRLBsdInfoPtr& first = disk.bsdPathArray.first();
        if (!first || !first->mountPoint)
            return {};
        return first->mountPoint->section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
    }
    return QStringLiteral("-");
}
