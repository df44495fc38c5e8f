#pragma once
#include "base/NotificationCenter.h"
#include "devices/VRLThunderboltInfo.h"
#include "zpool/RaidInfo.h"

// The decisions of the disk replacement wizard that need no widgets.
namespace ReplaceWorkflow {

// Payload key that carries the failed member's enclosure from step 1 to the
// rebuild, next to raidName, diskName and diskSlot.
inline const QString EnclosureKey = QStringLiteral("enclosure");

// A stable name for an enclosure: its switch UID when it has one (it survives
// a reconnect to another port), else its Thunderbolt path. "" when neither.
QString enclosureIdentity(const VRLThunderboltInfo& enclosure);

struct EnclosureGuess {
    QString identity;  // "" when undecided
    QString problem;   // why it could not be decided
};
// The enclosure that holds the pool's other members: exactly one enclosure
// must hold disks named like members of the pool, and it must have an identity.
EnclosureGuess enclosureOfPool(const RaidInfo& pool, const TBList& enclosures);

// Further payload keys: the failed member's bare bay label ("" when it is
// unknown), and the disks its enclosure held when the wizard started.
inline const QString BayKey = QStringLiteral("bay");
inline const QString KnownDisksKey = QStringLiteral("knownDisks");

// The disks of the enclosure named `identity`, one line each: serial, device
// path and size, tab-separated.
QString diskSnapshot(const TBList& enclosures, const QString& identity);

struct NewDiskSearch {
    VRLHddInfoPtr disk;  // null when none may be touched
    QString problem;     // why not, for the user: what was found instead
    QString note;        // for the log, when the disk was found in an unusual way
};
// The one disk of the enclosure named `identity` that `snapshot` does not
// list. Disks are told apart by serial number where those are unique in the
// enclosure, else by device path and size. None or several: nothing is taken.
NewDiskSearch findNewDisk(const TBList& enclosures, const QString& identity, const QString& bay,
                          const QString& snapshot);

// The pool that already uses a disk of that name, "" when none does. The
// failed member itself (same pool, same name) does not count: a new disk may
// come back under the old name.
QString poolUsingDisk(const RaidList& pools, const QString& diskName, const QString& pool,
                      const QString& oldDisk);

// After an export: true only when `zpool list` says the pool is gone.
bool exportConfirmed(const QString& listText, const QString& pool);

// "disk6" for "/dev/disk6".
QString diskNameOf(const QString& devPath);

}  // namespace ReplaceWorkflow
