#include "pools/BayMapping.h"

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
}  // namespace

void BayMapping::getDiskSlot(const RaidList& pools, const TBList& tbArray)
{
    // Pass 1: a member named after an enclosure disk takes that disk's bay.
    for (const VRLThunderboltInfoPtr& tb : tbArray) {
        for (const VRLHddInfoPtr& hdd : tb->hddArray) {
            const QString name = diskName(hdd->devPath);
            if (name.isEmpty())
                continue;
            for (const RaidInfoPtr& pool : pools) {
                for (const RaidStatusPtr& member : pool->Status) {
                    if (member->DiskName && *member->DiskName == name) {
                        member->slotPath = hdd->slotPath;
                        break;
                    }
                }
            }
        }
    }

    // Pass 2: bays that no member holds. The enclosures are one set of bays.
    QStringList free = kBays;
    for (const RaidInfoPtr& pool : pools)
        for (const RaidStatusPtr& member : pool->Status)
            if (member->slotPath)
                free.removeAll(*member->slotPath);

    // Pass 3: a member that matched no disk (pulled or failed) is shown in
    // the first free bay; the list is not consumed.
    if (free.isEmpty())
        return;
    for (const RaidInfoPtr& pool : pools)
        for (const RaidStatusPtr& member : pool->Status)
            if (!member->slotPath || member->slotPath->isEmpty())
                member->slotPath = free.first();
}
