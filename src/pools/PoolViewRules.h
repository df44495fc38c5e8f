#pragma once
#include "base/NotificationCenter.h"
#include "zpool/RaidInfo.h"

#include <optional>

// The pool view's decisions, kept free of widgets: which buttons a selection
// enables, what each cell shows and in which colour.
namespace PoolViewRules {

// nullopt leaves a button as it is.
struct ButtonStates {
    std::optional<bool> newBtn, update, del, eject, mount, replace, detach, online;
    std::optional<bool> detachVisible, onlineVisible;
};

// The buttons once the view has loaded, and after a pool or a member row is
// selected (nullptr: the selection was cleared).
ButtonStates viewLoaded(bool gateOpen);
ButtonStates listSelectChange(const RaidInfo* selectedPool);
ButtonStates statusSelectChange(const RaidStatus* selectedMember);
// The row that shows `pool` after a refresh, found by name; -1 when it is gone.
int rowOfPool(const RaidList& pools, const RaidInfo& pool);

// A vdev that stands for a real disk, as opposed to a group line such as
// mirror-0, replacing-0 or spare-0 that zpool replace cannot act on.
bool isDeviceRow(const RaidStatus& member);
// Replace may be offered for this member.
bool replaceAllowed(const RaidStatus& member);

// Black for a pool that is "ONLINE" or "EJECTED" and a member that is
// "ONLINE"; red for anything else.
enum class TextColour { Black, Red };
TextColour poolRowColour(const RaidInfo& pool);
TextColour memberRowColour(const RaidStatus& member);

// Cell text by column identifier; unknown identifiers show "-", absent fields "".
QString poolCellText(const RaidInfo& pool, const QString& identifier);
QString memberCellText(const RaidStatus& member, const QString& identifier);

// The verbs a refresh runs itself; their "ZpoolCMDFinish" must not start another.
bool releaseInfoIgnores(const QString& cmd);

// The request ZpoolCMD::startThread takes; unused disk entries are "".
UserInfo workerRequest(const QString& cmd, const QString& pool, const QString& disk1 = QString(),
                       const QString& disk2 = QString());

}  // namespace PoolViewRules
