#pragma once
#include "zpool/RaidInfo.h"
#include "zpool/ZpoolOutput.h"

#include <QByteArray>
#include <QStringList>

// `zpool status -L`: each pool's layout, members and scan.
namespace ZpoolStatus {
// False when the text carried a failure marker and nothing was read.
using Result = bool;

QStringList arguments();

// Fills RaidMode, Status and scan of the pools in `pools` that the text names.
// Linear in the size of the text; works on the tool's bytes.
Result ShowRAIDStatus(const QByteArray& text, const RaidList& pools);
// The same for the text the runners decoded.
Result ShowRAIDStatus(const QString& text, const RaidList& pools);
}  // namespace ZpoolStatus
