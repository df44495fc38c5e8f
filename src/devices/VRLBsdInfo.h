#pragma once
#include <QString>

#include <memory>
#include <optional>

// One open leaf partition of a disk.
struct VRLBsdInfo {
    std::optional<QString> devPath;
    std::optional<QString> mountPoint;
    std::optional<qint64> capacitySize;   // 512-byte blocks
    std::optional<qint64> availableSize;  // 512-byte blocks
};
using VRLBsdInfoPtr = std::shared_ptr<VRLBsdInfo>;
