#include "create/PoolMountPoint.h"

#include "exec/MountInfo.h"

std::optional<QString> PoolMountPoint::find(const QString& poolName, const QString& mountTable)
{
    if (poolName.isEmpty())
        return std::nullopt;
    // The latest mount wins: a later one hides an earlier one at the same place.
    const QList<MountEntry> entries = MountInfo::read(mountTable);
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        if (it->source == poolName && !it->target.isEmpty() && MountInfo::isZfsDataset(*it))
            return it->target;
    }
    return std::nullopt;
}
