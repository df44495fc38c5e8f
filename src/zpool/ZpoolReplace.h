#pragma once
#include "zpool/ZpoolOutput.h"

#include <QStringList>

// `zpool replace -f POOL OLD NEW`: NEW takes OLD's place and is resilvered; -f
// because a new disk may look in use to zpool.
namespace ZpoolReplace {
using Result = ZpoolOutput;

QStringList arguments(const QString& pool, const QString& oldDevice, const QString& newDevice);
}  // namespace ZpoolReplace
