#pragma once
#include "zpool/RaidInfo.h"
#include "zpool/ZpoolOutput.h"

#include <QByteArray>
#include <QStringList>

// `zpool list`: the imported pools with their sizes and health.
namespace ZpoolList {
using Result = RaidList;

QStringList arguments();

// The pools, or an empty list when the text carries a failure marker
// ("no pools available", "Failed to load ZFS module stack."). Linear in the
// size of the text; works on the tool's bytes.
Result ShowRAIDList(const QByteArray& text);
// The same for the text the runners decoded.
Result ShowRAIDList(const QString& text);

// Whether zpool said it has no pools, rather than that it could not look.
bool saysNoPools(const QString& text);
}  // namespace ZpoolList
