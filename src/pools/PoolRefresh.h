#pragma once
#include "pools/RaidInfo.h"

class ZpoolCMD;
class VRLScanDevice;

namespace PoolRefresh {
// One pool refresh: when the OpenZFS gate is open, `zpool list`, `zpool status -L`
// and, if includeEjected, `zpool import` through the worker and their parsers;
// then, whatever the gate, a rescan of the enclosures (resetArray "RADade" +
// scanTBDevice) and the bay mapping. Returns the new pool list; the caller
// publishes it (RaidListArray::replace) and reloads its tables.
// statusParsed, when given, is set false when the status text carried a failure marker.
RaidListPtr refresh(ZpoolCMD& zpool, VRLScanDevice& scanner, bool includeEjected, bool gateOpen,
                    bool* statusParsed = nullptr);
}  // namespace PoolRefresh
