#pragma once
#include "base/NotificationCenter.h"
#include "exec/ToolResult.h"
#include "devices/VRLHddInfo.h"
#include "pools/PoolRefresh.h"

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
// ("ShowRAIDInfo", "CreateRAIDFinish"). Synchronous on the calling thread;
// the panel runs check and create off the GUI thread.
class RaidCreator {
public:
    enum class Outcome {
        NoName,    // "NoVolumeNameOfRAID" posted, nothing ran
        Refused,   // a disk cannot be named to the tools; logged, nothing ran
        Canceled,  // authorization dismissed; the disks stay ejected
        Failed,    // zpool create failed or timed out: no pool; the disks stay ejected
        Created,   // the pool exists; `ownership` says if handing it over failed
    };
    struct Result {
        Outcome outcome = Outcome::Refused;
        ToolResult zpool;                     // the create run, once it was attempted
        std::optional<ToolResult> ownership;  // the chown run, when it failed
    };
    using MountPointLookup = std::function<std::optional<QString>(const QString& poolName)>;
    // The pools as they are now, ejected ones included.
    using PoolsLookup = std::function<PoolRefresh::Pools()>;

    // What must happen before create() may run: the name and the disks are
    // checked, and what the disks hold is read afresh from zpool.
    struct Check {
        enum class Verdict {
            Go,        // blank disks: create may run
            NoName,    // create() posts "NoVolumeNameOfRAID"
            BadName,   // an alert says why; nothing runs
            Refused,   // a disk cannot be used; an alert says why; nothing runs
            Canceled,  // the authorization for the scan was dismissed; nothing runs
            Confirm,   // the disks hold data: create only after the user confirms the alert
            Unknown,   // zpool could not say what the disks hold; an alert says why; nothing runs
        } verdict = Verdict::Go;
        QString title;  // the alert's message and informative text
        QString text;
    };

    RaidCreator(RunCMD& runner, DiskEjector& ejector,
                NotificationCenter& center = NotificationCenter::defaultCenter());

    QString zpoolPath() const { return zpoolPath_; }
    void setZpoolPath(const QString& path) { zpoolPath_ = path; }
    // Defaults: the platform's chown, "user:group" of the logged-in user, the
    // system mount table.
    void setChownPath(const QString& path) { chownPath_ = path; }
    void setOwner(const QString& userAndGroup) { owner_ = userAndGroup; }
    void setMountPointLookup(MountPointLookup lookup) { mountPointOf_ = std::move(lookup); }
    // Default: list, status and import scan through zpool.
    void setPoolsLookup(PoolsLookup lookup) { poolsNow_ = std::move(lookup); }

    // Runs before the panel's confirmation: checkRequest (no tools), then
    // checkDisks, which may run the import scan as administrator.
    Check check(const RaidCreateRequest& request);
    Check checkRequest(const RaidCreateRequest& request) const;
    Check checkDisks(const RaidCreateRequest& request);

    // Ejects the disks, runs zpool create and hands the new pool to the user.
    // Posts "ShowRAIDInfo" once zpool ran, and "CreateRAIDFinish" when the
    // attempt is over with nothing to tell: cancelled, or created and handed
    // over. Otherwise the caller shows what failed and keeps the window.
    Result create(const RaidCreateRequest& request);

    // One eject per path, in order, as the user; output ignored.
    void ejectDisks(const QStringList& devPaths);

    // The device paths of the disks, or nullopt (and a log line) when one of
    // them has none: such a disk must never reach eject or create.
    static std::optional<QStringList> devicePaths(const HddList& disks);

private:
    std::optional<ToolResult> giveToUser(const QString& name, bool mountedBefore);

    RunCMD& runner_;
    DiskEjector& ejector_;
    NotificationCenter& center_;
    QString zpoolPath_;
    QString chownPath_;
    QString owner_;
    MountPointLookup mountPointOf_;
    PoolsLookup poolsNow_;
};
