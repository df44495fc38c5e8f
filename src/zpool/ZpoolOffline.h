#pragma once
#include "zpool/ZpoolShape.h"

#include <QStringList>

// `zpool offline POOL DEVICE`: the pool stops using one member.
namespace ZpoolOffline {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool, const QString& device);
const ZpoolShape& shape();
}  // namespace ZpoolOffline
