#pragma once
#include "zpool/RaidInfo.h"

// The process-wide pool list. It is replaced, never cleared: whoever holds the
// previous list keeps its records.
namespace RaidListArray {
RaidListPtr current();
void replace(RaidListPtr list);
}  // namespace RaidListArray
