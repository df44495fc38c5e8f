#pragma once
#include "devices/VRLBsdInfo.h"

#include <QList>

// One disk of an enclosure.
struct VRLHddInfo {
    std::optional<QString> hddModel;
    std::optional<QString> hddSN;
    std::optional<QString> devPath;   // "/dev/diskN"; "" without a BSD name; absent without whole media
    std::optional<QString> slotPath;  // "Slot-A".."Slot-D" or absent
    bool isUnFormated = false;        // the whole disk has no "Content" (no partition table)
    std::optional<qint64> diskSize;   // bytes
    QList<VRLBsdInfoPtr> bsdPathArray;
};
using VRLHddInfoPtr = std::shared_ptr<VRLHddInfo>;
using HddList = QList<VRLHddInfoPtr>;
