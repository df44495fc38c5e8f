#pragma once
#include <QString>

#include <optional>

namespace PoolMountPoint {
inline const QString DefaultMountTable = QStringLiteral("/proc/self/mountinfo");

// Where the pool's own file system is mounted: the latest ZFS mount whose
// source is exactly the pool name (for zfs-fuse, a FUSE mount of subtype zfs
// made by root). Absent when the pool is not mounted.
std::optional<QString> find(const QString& poolName,
                            const QString& mountTable = DefaultMountTable);
}  // namespace PoolMountPoint
