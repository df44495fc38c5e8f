#pragma once
#include "pools/RaidStatus.h"

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
};
using RaidInfoPtr = std::shared_ptr<RaidInfo>;
using RaidList = QList<RaidInfoPtr>;
using RaidListPtr = std::shared_ptr<const RaidList>;
