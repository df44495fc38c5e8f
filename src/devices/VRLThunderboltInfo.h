#pragma once
#include "devices/VRLHddInfo.h"

// One enclosure, known by its Thunderbolt switch.
struct VRLThunderboltInfo {
    std::optional<QString> moduleName;  // "Device Model Name"
    std::optional<qint64> uid;          // the switch's "UID": the enclosure's identity
    std::optional<qint64> depth;        // hops from the host ("Depth")
    std::optional<qint64> parentTb;     // UID of the switch it hangs off, when depth >= 1
    std::optional<qint64> routeSring;   // "Route String"
    float portNum = 0.0f;               // always 0
    std::optional<QString> tbPath;      // the switch's registry path; disks name it in "Thunderbolt Path"
    HddList hddArray;                   // its disks, in registry order
    std::optional<qint64> state;        // always 4 once found
    std::optional<qint64> moduleID;     // "Device Model ID": 771, 774, 782, 567 or 568
    std::optional<qint64> vendorID;     // "Device Vendor ID": the maker's
    std::optional<QString> vendorName;  // "Device Vendor Name"
};
using VRLThunderboltInfoPtr = std::shared_ptr<VRLThunderboltInfo>;
using TBList = QList<VRLThunderboltInfoPtr>;
