#pragma once
#include <QList>
#include <QString>

#include <memory>
#include <optional>

// One line of a pool's configuration block, as zpool printed it. Absent fields
// are std::nullopt; "" is a field that was read and empty.
struct RaidStatus {
    std::optional<QString> DiskName;
    std::optional<QString> State;
    std::optional<QString> Read;
    std::optional<QString> Write;
    std::optional<QString> CKSum;
    std::optional<QString> raidMode;
    std::optional<QString> mountOn;
    std::optional<QString> slotPath;
    std::optional<QString> Others;
};
using RaidStatusPtr = std::shared_ptr<RaidStatus>;
using RaidStatusList = QList<RaidStatusPtr>;
