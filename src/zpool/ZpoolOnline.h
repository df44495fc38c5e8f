#pragma once
#include "zpool/ZpoolOutput.h"

#include <QStringList>

// `zpool online POOL DEVICE`: the pool uses a member again.
namespace ZpoolOnline {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool, const QString& device);
}  // namespace ZpoolOnline
