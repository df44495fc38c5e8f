#pragma once
#include "zpool/RaidScan.h"
#include "zpool/RaidStatus.h"

#include <QStringList>

// One pool, imported or ejected. A refresh builds new records; it never
// changes records that a reader may still hold.
struct RaidInfo {
    std::optional<QString> Name;
    std::optional<QString> RaidMode;
    std::optional<QString> Size;
    std::optional<QString> Alloc;
    std::optional<QString> Free;
    std::optional<QString> Capacity;
    std::optional<QString> Health;
    RaidStatusList Status;
    // An ejected pool's devices as its import scan lists them; Status stays
    // empty for it, but a new pool must not be made over these disks.
    QStringList ejectedDisks;
    // The pool's scrub or resilver, from its status block; absent where none was read.
    std::optional<RaidScan> scan;
};
using RaidInfoPtr = std::shared_ptr<RaidInfo>;
using RaidList = QList<RaidInfoPtr>;
using RaidListPtr = std::shared_ptr<const RaidList>;
