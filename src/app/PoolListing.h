#pragma once
#include "zpool/RaidInfo.h"

#include <QByteArray>
#include <QString>

// What `tarnwell --list` prints: the pools of one refresh and their members.
namespace PoolListing {
// A table for a terminal: one row per pool (name, mode, size, alloc, free,
// capacity, health), under it one row per member (name, state, read, write,
// cksum, bay, enclosure, other text). Absent fields show as "-".
QString table(const RaidList& pools);

// A JSON array of pools, each {"name","mode","size","alloc","free","capacity",
// "health","members":[{"name","state","read","write","cksum","slot","enclosure","others"}]},
// keys in that order, absent fields as null. Ends with a newline.
QByteArray json(const RaidList& pools);

// What `tarnwell --list --json` prints: {"ejectedScanned": bool, "note":
// text or null, "pools": json(pools)}. Without the scan the ejected pools
// are missing and the note says so.
QByteArray listing(const RaidList& pools, bool ejectedScanned, const QString& note);
}  // namespace PoolListing
