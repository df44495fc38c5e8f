#pragma once
#include "app/NotificationCenter.h"
#include "devices/VRLHddInfo.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class DiskEjector;
class RunCMD;

// What the create-RAID panel hands over when Create is pressed.
struct RaidCreateRequest {
    QString name;     // as typed, not trimmed
    HddList disks;    // the selected rows, in row order
    QString modeTitle;
    bool useEditedOptions = false;
    QString optionsText;
};

// Pool creation: eject the chosen disks, run `zpool create` as administrator,
// give the new pool's file system to the user, then announce the attempt
// ("ShowRAIDInfo", "CreateRAIDFinish"). Synchronous on the calling thread.
class RaidCreator {
public:
    enum class Outcome {
        NoName,      // "NoVolumeNameOfRAID" posted, nothing ran
        Refused,     // a disk cannot be named to the tools; logged, nothing ran
        Canceled,    // authorization dismissed; the disks stay ejected
        Ran,         // zpool ran; the pool may or may not exist now
    };
    using MountPointLookup = std::function<std::optional<QString>(const QString& poolName)>;

    RaidCreator(RunCMD& runner, DiskEjector& ejector,
                NotificationCenter& center = NotificationCenter::defaultCenter());

    QString zpoolPath() const { return zpoolPath_; }
    void setZpoolPath(const QString& path) { zpoolPath_ = path; }
    // Defaults: the platform's chown, "user:group" of the logged-in user, the
    // system mount table.
    void setChownPath(const QString& path) { chownPath_ = path; }
    void setOwner(const QString& userAndGroup) { owner_ = userAndGroup; }
    void setMountPointLookup(MountPointLookup lookup) { mountPointOf_ = std::move(lookup); }

    Outcome create(const RaidCreateRequest& request);

    // One eject per path, in order, as the user; output ignored.
    void ejectDisks(const QStringList& devPaths);

    // The device paths of the disks, or nullopt (and a log line) when one of
    // them has none: such a disk must never reach eject or create.
    static std::optional<QStringList> devicePaths(const HddList& disks);

private:
    void giveToUser(const QString& name, bool mountedBefore);

    RunCMD& runner_;
    DiskEjector& ejector_;
    NotificationCenter& center_;
    QString zpoolPath_;
    QString chownPath_;
    QString owner_;
    MountPointLookup mountPointOf_;
};
