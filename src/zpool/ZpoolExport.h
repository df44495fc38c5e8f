#pragma once
#include "zpool/ZpoolOutput.h"

#include <QStringList>

// `zpool export POOL` ("Eject"): the pool leaves the system, its disks may be unplugged.
namespace ZpoolExport {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool);
}  // namespace ZpoolExport
