#include "create/RaidCreator.h"

#include "base/Log.h"
#include "base/Notifications.h"
#include "create/CreateCommand.h"
#include "create/PoolMountPoint.h"
#include "devices/DiskEjector.h"
#include "exec/Platform.h"
#include "exec/RunCMD.h"
#include "pools/DiskContents.h"
#include "zpool/PoolName.h"
#include "zpool/ZpoolCMD.h"
#include "zpool/ZpoolOperation.h"

RaidCreator::RaidCreator(RunCMD& runner, DiskEjector& ejector, NotificationCenter& center)
    : runner_(runner), ejector_(ejector), center_(center),
      mountPointOf_([](const QString& name) { return PoolMountPoint::find(name); })
{
}

std::optional<QStringList> RaidCreator::devicePaths(const HddList& disks)
{
    QStringList paths;
    for (const VRLHddInfoPtr& disk : disks) {
        // An empty path would reach the tools as an empty argument.
        if (!disk || !disk->devPath || disk->devPath->isEmpty()) {
            const QString which = !disk ? QString()
                                  : disk->slotPath ? QStringLiteral(" in ") + *disk->slotPath
                                  : disk->hddSN    ? QStringLiteral(" ") + *disk->hddSN
                                                   : QString();
            Log::write(QStringLiteral("Create RAID refused: the disk%1 has no device path").arg(which));
            return std::nullopt;
        }
        paths << *disk->devPath;
    }
    return paths;
}

RaidCreator::Check RaidCreator::check(const RaidCreateRequest& request)
{
    const Check first = checkRequest(request);
    return first.verdict == Check::Verdict::Go ? checkDisks(request) : first;
}

RaidCreator::Check RaidCreator::checkRequest(const RaidCreateRequest& request) const
{
    using V = Check::Verdict;
    if (request.name.isEmpty())
        return {V::NoName, {}, {}};
    const QString nameProblem = PoolName::problem(request.name);
    if (!nameProblem.isEmpty())
        return {V::BadName, QStringLiteral("The RAID set cannot be named \"%1\"").arg(request.name),
                nameProblem};
    const QString cannot = QStringLiteral("The RAID set cannot be created");
    if (!devicePaths(request.disks)) {
        QString which;
        for (const VRLHddInfoPtr& d : request.disks) {
            if (d && (!d->devPath || d->devPath->isEmpty()))
                which = d->slotPath ? QStringLiteral("The disk in ") + *d->slotPath : QStringLiteral("A disk");
        }
        return {V::Refused, cannot,
                QStringLiteral("%1 has no device name yet. Wait a moment, choose the enclosure again "
                               "and select the disks anew.")
                    .arg(which.isEmpty() ? QStringLiteral("A disk") : which)};
    }
    return {V::Go, {}, {}};
}

RaidCreator::Check RaidCreator::checkDisks(const RaidCreateRequest& request)
{
    using V = Check::Verdict;
    const QString cannot = QStringLiteral("The RAID set cannot be created");
    PoolRefresh::Pools pools;
    if (poolsNow_) {
        pools = poolsNow_();
    } else {
        ZpoolCMD zpool(center_);
        zpool.setZpoolPath(zpoolPath_);
        pools = PoolRefresh::readPools(zpool, /*includeEjected*/ true);
    }
    if (pools.canceled)
        return {V::Canceled, {}, {}};
    // Without zpool's answer a disk of another pool would look blank.
    if (pools.failure)
        return {V::Unknown, cannot,
                QStringLiteral("Tarnwell could not find out which RAID sets use these disks, so it touched "
                               "none of them.\n\n") +
                    pools.failure->report()};

    QStringList inUse, erased;
    for (const VRLHddInfoPtr& d : request.disks) {
        const DiskContents::Holding h = DiskContents::holding(*d, pools.pools);
        if (!h.importedPool.isEmpty())
            inUse << DiskContents::sentence(*d, h);
        else if (!h.blank())
            erased << DiskContents::sentence(*d, h);
    }
    if (!inUse.isEmpty())
        return {V::Refused, cannot, inUse.join(QLatin1Char(' ')) + QStringLiteral(" Choose other disks.")};
    if (!erased.isEmpty())
        return {V::Confirm, QStringLiteral("Erase the data on these disks?"),
                erased.join(QLatin1Char(' ')) +
                    QStringLiteral("\n\nCreating %1 erases it all for good.").arg(request.name)};
    return {V::Go, {}, {}};
}

void RaidCreator::ejectDisks(const QStringList& devPaths)
{
    for (const QString& path : devPaths)
        ejector_.eject(path);
}

RaidCreator::Result RaidCreator::create(const RaidCreateRequest& request)
{
    Result result;
    if (request.name.isEmpty()) {
        center_.post(Notifications::NoVolumeNameOfRAID);
        result.outcome = Outcome::NoName;
        return result;
    }
    if (const QString problem = PoolName::problem(request.name); !problem.isEmpty()) {
        Log::write(QStringLiteral("Create RAID refused: %1").arg(problem));
        return result;
    }
    const std::optional<QStringList> disks = devicePaths(request.disks);
    if (!disks)
        return result;

    // A pool of that name that is already mounted is not ours to hand over.
    const bool safeName = PoolName::isSafe(request.name);
    const bool mountedBefore = safeName && mountPointOf_(request.name).has_value();

    // Before the authorization, so the disks stay ejected when it is dismissed.
    ejectDisks(*disks);

    const QStringList options = request.useEditedOptions ? ZpoolCreate::splitOptionsText(request.optionsText)
                                                         : ZpoolCreate::defaultOptions();
    const HelperRequest operation =
        ZpoolOperation::create(options, request.name, CreateCommand::layout(request.modeTitle), *disks);
    const QStringList args =
        CreateCommand::arguments(request.useEditedOptions, request.optionsText, request.name,
                                 request.modeTitle, *disks);
    result.zpool = runner_.runAsAdmin(operation, zpoolPath_, args, ToolLimits::Kind::Change);
    if (result.zpool.canceled()) {
        result.outcome = Outcome::Canceled;
    } else if (!result.zpool.ok()) {
        result.outcome = Outcome::Failed;
        Log::write(QStringLiteral("Create RAID failed: %1").arg(result.zpool.report().simplified()));
    } else {
        result.outcome = Outcome::Created;
        if (safeName)
            result.ownership = giveToUser(request.name, mountedBefore);
        else
            Log::write(QStringLiteral("Ownership not changed: not a pool name: %1").arg(request.name));
    }

    center_.post(Notifications::ShowRAIDInfo);
    if (result.outcome == Outcome::Canceled || (result.outcome == Outcome::Created && !result.ownership))
        center_.post(Notifications::CreateRAIDFinish);
    return result;
}

std::optional<ToolResult> RaidCreator::giveToUser(const QString& name, bool mountedBefore)
{
    if (mountedBefore) {
        Log::write(QStringLiteral("Ownership not changed: %1 was mounted before").arg(name));
        return std::nullopt;
    }
    // Only the new pool's own mount point, and only when the pool now exists.
    const std::optional<QString> mountPoint = mountPointOf_(name);
    if (!mountPoint)
        return std::nullopt;
    const QString chown = chownPath_.isEmpty() ? Platform::chownPath() : chownPath_;
    const QString owner = owner_.isEmpty()
                              ? Platform::userName() + QLatin1Char(':') + Platform::primaryGroupName()
                              : owner_;
    // The helper gives it to whoever asked for the authorization, walking the
    // pool's own file system itself; only a root Tarnwell runs chown.
    const ToolResult r =
        runner_.runAsAdmin(ZpoolOperation::give(name), chown, {QStringLiteral("-R"), owner, *mountPoint});
    if (r.ok() || r.canceled())
        return std::nullopt;
    Log::write(QStringLiteral("Ownership not changed: %1").arg(r.report().simplified()));
    return r;
}
