#include "pools/PoolRefresh.h"

#include "devices/VRLScanDevice.h"
#include "exec/ToolProcess.h"
#include "pools/BayMapping.h"
#include "pools/RaidListArray.h"
#include "zpool/ZpoolCMD.h"
#include "zpool/ZpoolImportScan.h"
#include "zpool/ZpoolList.h"
#include "zpool/ZpoolStatus.h"

#include <future>

bool PoolRefresh::listAnswered(const ToolResult& r)
{
    return r.ok() || (r.ending == ToolResult::Ending::Exited && ZpoolList::saysNoPools(r.outputText()));
}

bool PoolRefresh::importScanAnswered(const ToolResult& r)
{
    if (r.ok())
        return true;
    const QString said = ToolProcess::decode(r.merged ? r.output : r.errors).trimmed();
    return r.ending == ToolResult::Ending::Exited && r.exitStatus == 1 &&
           (said.isEmpty() || said.contains(QLatin1String("no pools available to import")));
}

namespace {
struct Reads {
    ToolResult list;
    ToolResult status;
    std::optional<ToolResult> scan;
};

// None of the reads needs another's answer, so they run at once; what they
// said is combined afterwards in the same order as ever.
Reads runReads(ZpoolCMD& zpool, bool includeEjected)
{
    std::future<ToolResult> status =
        std::async(std::launch::async, [&zpool] { return zpool.run(QStringLiteral("STATUS")); });
    std::future<ToolResult> scan;
    if (includeEjected)
        scan = std::async(std::launch::async, [&zpool] { return zpool.run(QStringLiteral("LIST EJECTED")); });
    Reads reads;
    reads.list = zpool.run(QStringLiteral("LIST"));
    reads.status = status.get();
    if (scan.valid())
        reads.scan = scan.get();
    return reads;
}
}  // namespace

PoolRefresh::Pools PoolRefresh::readPools(ZpoolCMD& zpool, bool includeEjected)
{
    Pools result;
    const auto failed = [&result](const ToolResult& r) {
        if (!result.failure)
            result.failure = r;
    };
    const Reads reads = runReads(zpool, includeEjected);
    // What a failed read printed is not parsed: it may be cut short.
    const ToolResult& list = reads.list;
    result.listed = listAnswered(list);
    if (!result.listed)
        failed(list);
    result.pools = ZpoolList::ShowRAIDList(result.listed ? list.outputText() : QString());
    const ToolResult& status = reads.status;
    const bool statused = listAnswered(status);
    if (!statused)
        failed(status);
    result.statusParsed = ZpoolStatus::ShowRAIDStatus(statused ? status.outputText() : QString(), result.pools);
    if (reads.scan) {
        const ToolResult& scan = *reads.scan;
        result.canceled = scan.canceled();
        result.ejectedScanned = importScanAnswered(scan);
        if (!result.ejectedScanned && !result.canceled)
            failed(scan);
        if (result.ejectedScanned)
            ZpoolImportScan::ShowUnimportRAID(scan.outputText(), result.pools);
    }
    return result;
}

PoolRefresh::Refreshed PoolRefresh::refresh(ZpoolCMD& zpool, VRLScanDevice& scanner, bool includeEjected,
                                            bool gateOpen, BayMemory* memory)
{
    Refreshed result;
    // The disk-usage table is read while zpool answers; the scan below takes it.
    const VRLScanDevice::DfRunner df = scanner.dfRunner();
    std::shared_future<QString> table = std::async(std::launch::async, [df] { return df ? df() : QString(); });
    if (gateOpen) {
        Pools fresh = readPools(zpool, includeEjected);
        result.statusParsed = fresh.statusParsed;
        result.listed = fresh.listed;
        result.failure = std::move(fresh.failure);
        result.pools = std::make_shared<const RaidList>(std::move(fresh.pools));
    } else {
        // No zpool may run: the list stays what it was (empty since the view loaded).
        result.pools = RaidListArray::current();
    }

    scanner.resetArray(QStringLiteral("RADade"));
    scanner.setDfRunner([table] { return table.get(); });
    scanner.scanTBDevice();
    scanner.setDfRunner(df);
    BayMapping::getDiskSlot(*result.pools, scanner.tbArray(), memory);
    return result;
}
