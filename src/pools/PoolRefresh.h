#pragma once
#include "exec/ToolResult.h"
#include "zpool/RaidInfo.h"

#include <optional>

class BayMemory;
class ZpoolCMD;
class VRLScanDevice;

namespace PoolRefresh {
// The pools as zpool reports them now: `zpool list` and `zpool status -L`
// and, if includeEjected, `zpool import`, through the worker and their parsers.
struct Pools {
    RaidList pools;
    bool statusParsed = true;    // false when the status text carried a failure marker
    bool canceled = false;       // the administrator authorization for the import scan was dismissed
    bool listed = false;          // `zpool list` answered: `pools` holds every imported pool
    bool ejectedScanned = false;  // the import scan ran and answered
    // The first read that failed or timed out: `pools` is not the whole story.
    std::optional<ToolResult> failure;
};
Pools readPools(ZpoolCMD& zpool, bool includeEjected);

// Whether a read answered, "no pools" included. An import scan that finds
// nothing to import exits 1, silently (zfs-fuse) or saying so (OpenZFS).
bool listAnswered(const ToolResult& r);
bool importScanAnswered(const ToolResult& r);

struct Refreshed {
    RaidListPtr pools;
    bool listed = true;  // as in Pools; with the gate closed, the old list stands
    bool statusParsed = true;
    std::optional<ToolResult> failure;  // as in Pools
};
// One pool refresh: when the OpenZFS gate is open, readPools; then, whatever
// the gate, a rescan of the enclosures (resetArray "RADade" + scanTBDevice)
// and the bay mapping, which `memory` (if any) learns from. The caller
// publishes the new list (RaidListArray::replace) and reloads its tables.
Refreshed refresh(ZpoolCMD& zpool, VRLScanDevice& scanner, bool includeEjected, bool gateOpen,
                  BayMemory* memory = nullptr);
}  // namespace PoolRefresh
