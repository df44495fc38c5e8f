#include "pools/PoolRefresh.h"

#include "devices/VRLScanDevice.h"
#include "pools/BayMapping.h"
#include "pools/RaidListArray.h"
#include "zpool/ZpoolCMD.h"
#include "zpool/ZpoolImportScan.h"
#include "zpool/ZpoolList.h"
#include "zpool/ZpoolStatus.h"

PoolRefresh::Pools PoolRefresh::readPools(ZpoolCMD& zpool, bool includeEjected)
{
    Pools result;
    result.pools = ZpoolList::ShowRAIDList(zpool.runCMD(QStringLiteral("LIST")));
    result.statusParsed = ZpoolStatus::ShowRAIDStatus(zpool.runCMD(QStringLiteral("STATUS")), result.pools);
    if (includeEjected) {
        const QString text = zpool.runCMD(QStringLiteral("LIST EJECTED"));
        result.canceled = text == QLatin1String("Canceled");
        ZpoolImportScan::ShowUnimportRAID(text, result.pools);
    }
    return result;
}

RaidListPtr PoolRefresh::refresh(ZpoolCMD& zpool, VRLScanDevice& scanner, bool includeEjected,
                                 bool gateOpen, bool* statusParsed, BayMemory* memory)
{
    if (statusParsed)
        *statusParsed = true;

    RaidListPtr pools;
    if (gateOpen) {
        Pools fresh = readPools(zpool, includeEjected);
        if (statusParsed)
            *statusParsed = fresh.statusParsed;
        pools = std::make_shared<const RaidList>(std::move(fresh.pools));
    } else {
        // No zpool may run: the list stays what it was (empty since the view loaded).
        pools = RaidListArray::current();
    }

    scanner.resetArray(QStringLiteral("RADade"));
    scanner.scanTBDevice();
    BayMapping::getDiskSlot(*pools, scanner.tbArray(), memory);
    return pools;
}
