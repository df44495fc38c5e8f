#pragma once
#include "devices/VRLHddInfo.h"

// One enclosure, known by its Thunderbolt switch.
struct VRLThunderboltInfo {
    std::optional<QString> moduleName;
    std::optional<qint64> uid;
    std::optional<qint64> depth;
    std::optional<qint64> parentTb;
    std::optional<qint64> routeSring;
    float portNum = 0.0f;
    std::optional<QString> tbPath;
    HddList hddArray;
    std::optional<qint64> state;
    std::optional<qint64> moduleID;
    std::optional<qint64> vendorID;
    std::optional<QString> vendorName;
};
using VRLThunderboltInfoPtr = std::shared_ptr<VRLThunderboltInfo>;
using TBList = QList<VRLThunderboltInfoPtr>;
