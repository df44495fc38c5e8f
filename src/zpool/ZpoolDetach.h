#pragma once
#include "zpool/ZpoolOutput.h"

#include <QStringList>

// `zpool detach POOL DEVICE`: a member leaves its mirror or replacement.
namespace ZpoolDetach {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool, const QString& device);
}  // namespace ZpoolDetach
