#pragma once
#include "devices/VRLHddInfo.h"

// The disks the create-RAID panel shows: one list for the whole process.
// Row i of the disk table is element i. Replaced whole, never edited, so a
// reader that holds the previous list keeps its records.
namespace DiskList {
HddList current();
void replace(const HddList& list);
}  // namespace DiskList
