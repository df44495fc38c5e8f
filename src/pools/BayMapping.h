#pragma once
#include "devices/VRLThunderboltInfo.h"
#include "zpool/RaidInfo.h"

class BayMemory;

// Writes every member's slotPath (and its enclosure) from the scanned
// enclosures (getDiskSlot).
namespace BayMapping {
// What a member shows whose bay cannot be told.
inline const QString UnknownBay = QStringLiteral("unknown");

// A member on an enclosure disk takes that disk's bay, and `memory` learns
// it. A member whose disk is gone gets the bay it was last seen in, else the
// one empty bay of its pool's enclosure when that leaves no doubt, else
// "unknown"; two gone members never share a bay. A member that is online
// but on no enclosure disk has no bay.
void getDiskSlot(const RaidList& pools, const TBList& tbArray, BayMemory* memory = nullptr);

// "Slot-B", or "Slot-B, enclosure 2" where several enclosures are attached.
QString bayText(const RaidStatus& member);
// The member's enclosure as the device window names it, with its position
// where several are attached ("Varnelo Quad TB2 enclosure 2"); none without a bay.
std::optional<QString> enclosureText(const RaidStatus& member);
// "Slot-B of Varnelo Quad TB2", "an unknown bay", or "" for a member on no enclosure.
QString placeText(const RaidStatus& member);
}  // namespace BayMapping
