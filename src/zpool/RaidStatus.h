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
    // Where the bay mapping placed the member: the identity of its enclosure,
    // and that enclosure's position (1-based) when several are attached.
    std::optional<QString> enclosure;
    std::optional<int> enclosureNumber;
    // That enclosure's model name, as the device window lists it.
    std::optional<QString> enclosureName;
};
using RaidStatusPtr = std::shared_ptr<RaidStatus>;
using RaidStatusList = QList<RaidStatusPtr>;
