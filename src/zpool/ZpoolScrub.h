#pragma once
#include "zpool/ZpoolShape.h"

#include <QStringList>

// `zpool scrub POOL` and `zpool scrub -s POOL`: verify every block, or stop doing so.
namespace ZpoolScrub {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool);
QStringList stopArguments(const QString& pool);
}  // namespace ZpoolScrub
