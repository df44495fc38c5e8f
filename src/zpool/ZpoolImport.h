#pragma once
#include "zpool/ZpoolShape.h"

#include <QStringList>

// `zpool import POOL` ("Mount"): an ejected pool comes back.
namespace ZpoolImport {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool);
const ZpoolShape& shape();
}  // namespace ZpoolImport
