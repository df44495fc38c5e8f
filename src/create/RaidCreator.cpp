#include "create/RaidCreator.h"

#include "app/Log.h"
#include "app/Notifications.h"
#include "create/CreateCommand.h"
#include "create/PoolMountPoint.h"
#include "create/PoolName.h"
#include "devices/DiskEjector.h"
#include "exec/Platform.h"
#include "exec/RunCMD.h"

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

void RaidCreator::ejectDisks(const QStringList& devPaths)
{
    for (const QString& path : devPaths)
        ejector_.eject(path);
}

RaidCreator::Outcome RaidCreator::create(const RaidCreateRequest& request)
{
    if (request.name.isEmpty()) {
        center_.post(Notifications::NoVolumeNameOfRAID);
        return Outcome::NoName;
    }
    const std::optional<QStringList> disks = devicePaths(request.disks);
    if (!disks)
        return Outcome::Refused;

    // A pool of that name that is already mounted is not ours to hand over.
    const bool safeName = PoolName::isSafe(request.name);
    const bool mountedBefore = safeName && mountPointOf_(request.name).has_value();

    // Before the authorization, so the disks stay ejected when it is dismissed.
    ejectDisks(*disks);

    const QStringList args =
        CreateCommand::arguments(request.useEditedOptions, request.optionsText, request.name,
                                 request.modeTitle, *disks);
    const QString result = runner_.runCmdAsAdmin(zpoolPath_, args);
    const bool canceled = result == QLatin1String("Canceled");
    if (!canceled) {
        if (safeName)
            giveToUser(request.name, mountedBefore);
        else
            Log::write(QStringLiteral("Ownership not changed: not a pool name: %1").arg(request.name));
    }

    center_.post(Notifications::ShowRAIDInfo);
    center_.post(Notifications::CreateRAIDFinish);
    return canceled ? Outcome::Canceled : Outcome::Ran;
}

void RaidCreator::giveToUser(const QString& name, bool mountedBefore)
{
    if (mountedBefore) {
        Log::write(QStringLiteral("Ownership not changed: %1 was mounted before").arg(name));
        return;
    }
    // Only the new pool's own mount point, and only when the pool now exists.
    const std::optional<QString> mountPoint = mountPointOf_(name);
    if (!mountPoint)
        return;
    const QString chown = chownPath_.isEmpty() ? Platform::chownPath() : chownPath_;
    const QString owner = owner_.isEmpty()
                              ? Platform::userName() + QLatin1Char(':') + Platform::primaryGroupName()
                              : owner_;
    runner_.runCmdAsAdmin(chown, {QStringLiteral("-R"), owner, *mountPoint});
}
