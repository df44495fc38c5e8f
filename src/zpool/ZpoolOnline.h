#pragma once
#include "zpool/ZpoolShape.h"

#include <QStringList>

// `zpool online POOL DEVICE`: the pool uses a member again.
namespace ZpoolOnline {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool, const QString& device);
const ZpoolShape& shape();
}  // namespace ZpoolOnline
