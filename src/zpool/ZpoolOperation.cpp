#include "zpool/ZpoolOperation.h"

#include "zpool/ZpoolDestroy.h"
#include "zpool/ZpoolDetach.h"
#include "zpool/ZpoolExport.h"
#include "zpool/ZpoolImport.h"
#include "zpool/ZpoolImportScan.h"
#include "zpool/ZpoolOffline.h"
#include "zpool/ZpoolOnline.h"
#include "zpool/ZpoolReplace.h"
#include "zpool/ZpoolScrub.h"

namespace Op = HelperProtocol::Op;

namespace {
HelperRequest request(const QString& op, const QString& pool, const QStringList& devices = {})
{
    HelperRequest r;
    r.op = op;
    r.pool = pool;
    r.devices = devices;
    return r;
}
}  // namespace

HelperRequest ZpoolOperation::importScan()
{
    return request(Op::ImportScan, {});
}

HelperRequest ZpoolOperation::create(const QStringList& options, const QString& name, ZpoolCreate::Layout layout,
                                     const QStringList& devices)
{
    HelperRequest r = request(Op::Create, name, devices);
    r.mode = ZpoolCreate::layoutWord(layout);
    r.options = options;
    return r;
}

HelperRequest ZpoolOperation::destroy(const QString& pool) { return request(Op::Destroy, pool); }
HelperRequest ZpoolOperation::exportPool(const QString& pool) { return request(Op::Export, pool); }
HelperRequest ZpoolOperation::import(const QString& pool) { return request(Op::Import, pool); }
HelperRequest ZpoolOperation::scrub(const QString& pool) { return request(Op::Scrub, pool); }
HelperRequest ZpoolOperation::scrubStop(const QString& pool) { return request(Op::ScrubStop, pool); }
HelperRequest ZpoolOperation::give(const QString& pool) { return request(Op::Give, pool); }
HelperRequest ZpoolOperation::unmount(const QString& device) { return request(Op::Unmount, {}, {device}); }

HelperRequest ZpoolOperation::replace(const QString& pool, const QString& oldDevice, const QString& newDevice)
{
    return request(Op::Replace, pool, {oldDevice, newDevice});
}

HelperRequest ZpoolOperation::offline(const QString& pool, const QString& device)
{
    return request(Op::Offline, pool, {device});
}

HelperRequest ZpoolOperation::online(const QString& pool, const QString& device)
{
    return request(Op::Online, pool, {device});
}

HelperRequest ZpoolOperation::detach(const QString& pool, const QString& device)
{
    return request(Op::Detach, pool, {device});
}

std::optional<QStringList> ZpoolOperation::arguments(const HelperRequest& r)
{
    const qsizetype devices = r.devices.size();
    // Empty operands pass here, so zpool's own words tell what is missing.
    const bool poolOnly = devices == 0 && r.options.isEmpty() && r.mode.isEmpty();
    const bool oneDevice = devices == 1 && r.options.isEmpty() && r.mode.isEmpty();
    if (r.op == Op::ImportScan && r.pool.isEmpty() && devices == 0 && r.options.isEmpty() && r.mode.isEmpty())
        return ZpoolImportScan::arguments();
    if (r.op == Op::Create) {
        for (const auto layout : {ZpoolCreate::Layout::Striped, ZpoolCreate::Layout::RaidZ, ZpoolCreate::Layout::RaidZ2}) {
            if (ZpoolCreate::layoutWord(layout) == r.mode)
                return ZpoolCreate::arguments(r.options, r.pool, layout, r.devices);
        }
        return std::nullopt;
    }
    if (poolOnly) {
        if (r.op == Op::Destroy)
            return ZpoolDestroy::arguments(r.pool);
        if (r.op == Op::Export)
            return ZpoolExport::arguments(r.pool);
        if (r.op == Op::Import)
            return ZpoolImport::arguments(r.pool);
        if (r.op == Op::Scrub)
            return ZpoolScrub::arguments(r.pool);
        if (r.op == Op::ScrubStop)
            return ZpoolScrub::stopArguments(r.pool);
    }
    if (oneDevice) {
        if (r.op == Op::Offline)
            return ZpoolOffline::arguments(r.pool, r.devices[0]);
        if (r.op == Op::Online)
            return ZpoolOnline::arguments(r.pool, r.devices[0]);
        if (r.op == Op::Detach)
            return ZpoolDetach::arguments(r.pool, r.devices[0]);
    }
    if (r.op == Op::Replace && devices == 2 && r.options.isEmpty() && r.mode.isEmpty())
        return ZpoolReplace::arguments(r.pool, r.devices[0], r.devices[1]);
    return std::nullopt;
}
