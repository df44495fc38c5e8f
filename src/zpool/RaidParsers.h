#pragma once
#include "zpool/RaidInfo.h"

// Pure parsers of zpool's text. Each is linear in the size of the text.
namespace RaidParsers {
// `zpool list`: the pools, or an empty list when the text carries a failure
// marker ("no pools available", "Failed to load ZFS module stack.").
RaidList ShowRAIDList(const QString& text);

// `zpool status -L`: fills RaidMode and Status of the pools in `pools`.
// Returns false when the text carries a failure marker (nothing was read).
bool ShowRAIDStatus(const QString& text, const RaidList& pools);

// `zpool import`: appends one record per importable pool to `pools`, with
// the devices its configuration lists in ejectedDisks.
// Logs "no pools available to import" when the text says so.
void ShowUnimportRAID(const QString& text, RaidList& pools);
}  // namespace RaidParsers
