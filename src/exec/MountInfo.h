#pragma once
#include <QList>
#include <QString>

#include <sys/types.h>

// One line of a mountinfo table.
struct MountEntry {
    QString source;     // as the kernel reports it, e.g. /dev/sdb1 or a pool name
    QString target;     // the mount point
    QString fsType;     // e.g. ext4, zfs, fuse.zfs
    QString fsOptions;  // the superblock options, e.g. rw,user_id=0
    dev_t devno = 0;    // the st_dev of the mounted filesystem
    QString mountOptions;  // this mount's own options, e.g. rw,nosuid,nodev
};

namespace MountInfo {
// Empty when the table cannot be read.
QList<MountEntry> read(const QString& path = QStringLiteral("/proc/self/mountinfo"));
// A ZFS dataset's own mount. zfs-fuse shows its datasets as FUSE of subtype
// zfs; any user may name a FUSE mount so, but only root's is a dataset.
bool isZfsDataset(const MountEntry& entry);
// "maj:min" as sysfs writes it, or 0.
dev_t parseDevno(const QString& text);
}  // namespace MountInfo
