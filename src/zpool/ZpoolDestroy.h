#pragma once
#include "zpool/ZpoolShape.h"

#include <QStringList>

// `zpool destroy POOL`: the pool and its data are gone for good.
namespace ZpoolDestroy {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool);
const ZpoolShape& shape();
}  // namespace ZpoolDestroy
