#pragma once
#include "zpool/ZpoolOutput.h"

#include <QStringList>

// `zpool scrub POOL` ("Verify"): read every block of the pool and repair what
// its redundancy can; `zpool scrub -s POOL` stops it. Progress and the last
// scrub's outcome come from `zpool status` (RaidScan).
namespace ZpoolScrub {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool);
QStringList stopArguments(const QString& pool);
}  // namespace ZpoolScrub
