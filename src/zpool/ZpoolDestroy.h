#pragma once
#include "zpool/ZpoolOutput.h"

#include <QStringList>

// `zpool destroy POOL`: the pool and its data are gone for good.
namespace ZpoolDestroy {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool);
}  // namespace ZpoolDestroy
