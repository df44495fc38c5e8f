#pragma once
#include "devices/VRLThunderboltInfo.h"
#include "pools/RaidInfo.h"

// Writes every member's slotPath from the scanned enclosures (getDiskSlot).
namespace BayMapping {
void getDiskSlot(const RaidList& pools, const TBList& tbArray);
}
