#pragma once
#include "zpool/RaidInfo.h"

#include <QList>
#include <QString>
#include <QStringList>

// What the health watch tells the user: the difference between two reads of
// the pools, free of timers and widgets.
namespace HealthWatch {

// What changed in one pool between two reads.
struct Change {
    QString pool;
    QString health;       // the pool's, now
    QString summary;      // "tank is DEGRADED"
    QStringList details;  // "disk92 in Slot-B of Varnelo Quad TB2 is OFFLINE", ...
    QString text() const { return details.isEmpty() ? summary : summary + QStringLiteral(": ") + details.join(QStringLiteral("; ")); }
};

// One Change per imported pool whose health changed, a member's state
// changed, a member's error counts grew, or a scrub or resilver ended.
// A pool absent from either read, or ejected in either, is a new start, not a
// change; so a state seen twice is never told twice.
QList<Change> changes(const RaidList& before, const RaidList& after);

// A scrub or resilver is running in one of the pools: progress is worth
// reading more often.
bool scanning(const RaidList& pools);

// How often the watch reads, in seconds, and the bounds the setting keeps to.
inline constexpr int DefaultInterval = 60;
inline constexpr int MinInterval = 2;
inline constexpr int MaxInterval = 3600;
int clampedInterval(int seconds);

}  // namespace HealthWatch
