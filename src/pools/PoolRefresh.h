#pragma once
#include "zpool/RaidInfo.h"

class BayMemory;
class ZpoolCMD;
class VRLScanDevice;

namespace PoolRefresh {
// The pools as zpool reports them now: `zpool list` and `zpool status -L`
// and, if includeEjected, `zpool import`, through the worker and their parsers.
struct Pools {
    RaidList pools;
    bool statusParsed = true;  // false when the status text carried a failure marker
    bool canceled = false;     // the administrator authorization for the import scan was dismissed
};
Pools readPools(ZpoolCMD& zpool, bool includeEjected);

// One pool refresh: when the OpenZFS gate is open, readPools; then, whatever
// the gate, a rescan of the enclosures (resetArray "RADade" + scanTBDevice)
// and the bay mapping, which `memory` (if any) learns from. Returns the new
// pool list; the caller publishes it (RaidListArray::replace) and reloads its tables.
// statusParsed, when given, is set false when the status text carried a failure marker.
RaidListPtr refresh(ZpoolCMD& zpool, VRLScanDevice& scanner, bool includeEjected, bool gateOpen,
                    bool* statusParsed = nullptr, BayMemory* memory = nullptr);
}  // namespace PoolRefresh
