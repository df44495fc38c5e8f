#pragma once
#include "zpool/ZpoolOutput.h"

#include <QStringList>

// `zpool import POOL` ("Mount"): an ejected pool comes back.
namespace ZpoolImport {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool);
// The import the privileged helper runs: every dataset mounted nosuid,nodev
// and below `altroot`, whatever mount points and setuid/devices settings the
// pool brings. zfs-fuse and OpenZFS both take mount options as an `-o`
// without "=", and both prefix every mount point with `-R`'s root.
QStringList confinedArguments(const QString& pool, const QString& altroot);
inline const QString ConfinedMountOptions = QStringLiteral("nosuid,nodev");
}  // namespace ZpoolImport
