#pragma once
#include "zpool/ZpoolOutput.h"

#include <QStringList>

// `zpool offline POOL DEVICE`: the pool stops using one member.
namespace ZpoolOffline {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool, const QString& device);
}  // namespace ZpoolOffline
