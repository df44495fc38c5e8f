#pragma once
#include "devices/VRLHddInfo.h"
#include "zpool/RaidInfo.h"

#include <QStringList>

// What a disk holds that creating or replacing onto it would erase.
namespace DiskContents {

struct Holding {
    QString importedPool;  // an imported pool uses it: never to be overwritten
    QString ejectedPool;   // an ejected pool's import scan lists it
    QStringList volumes;   // its mounted volumes (or partitions in use)
    QString otherContent;  // a partition table or file system not named above
    bool blank() const
    {
        return importedPool.isEmpty() && ejectedPool.isEmpty() && volumes.isEmpty() &&
               otherContent.isEmpty();
    }
};

// Whether zpool's device name (disk3, /dev/disk3, disk3s1, sdb1, nvme0n1p2)
// is the whole disk `disk` (disk3, sdb, nvme0n1) or one of its partitions.
bool namesDisk(const QString& device, const QString& disk);

// The member `ignoreMember` of `ignorePool` does not count: a replaced disk
// may come back under its old name.
Holding holding(const VRLHddInfo& disk, const RaidList& pools, const QString& ignorePool = {},
                const QString& ignoreMember = {});

// The device window's Volume cell: "tank", "photos (ejected)", the volumes;
// empty for a blank disk.
QString summary(const Holding& h);

// "disk90 in Slot-A holds the ejected RAID set photos." for an alert.
QString sentence(const VRLHddInfo& disk, const Holding& h);

}  // namespace DiskContents
