#include "pools/PoolRefresh.h"

#include "devices/VRLScanDevice.h"
#include "exec/ZpoolCMD.h"
#include "pools/BayMapping.h"
#include "pools/RaidListArray.h"
#include "pools/RaidParsers.h"

RaidListPtr PoolRefresh::refresh(ZpoolCMD& zpool, VRLScanDevice& scanner, bool includeEjected,
                                 bool gateOpen, bool* statusParsed)
{
    if (statusParsed)
        *statusParsed = true;

    RaidListPtr pools;
    if (gateOpen) {
        RaidList fresh = RaidParsers::ShowRAIDList(zpool.runCMD(QStringLiteral("LIST")));
        const bool parsed = RaidParsers::ShowRAIDStatus(zpool.runCMD(QStringLiteral("STATUS")), fresh);
        if (statusParsed)
            *statusParsed = parsed;
        if (includeEjected)
            RaidParsers::ShowUnimportRAID(zpool.runCMD(QStringLiteral("LIST EJECTED")), fresh);
        pools = std::make_shared<const RaidList>(std::move(fresh));
    } else {
        // No zpool may run: the list stays what it was (empty since the view loaded).
        pools = RaidListArray::current();
    }

    scanner.resetArray(QStringLiteral("RADade"));
    scanner.scanTBDevice();
    BayMapping::getDiskSlot(*pools, scanner.tbArray());
    return pools;
}
