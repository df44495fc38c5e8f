#pragma once
#include "zpool/ZpoolShape.h"

#include <QStringList>

// `zpool detach POOL DEVICE`: a member leaves its mirror or replacement.
namespace ZpoolDetach {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool, const QString& device);
const ZpoolShape& shape();
}  // namespace ZpoolDetach
