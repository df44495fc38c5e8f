#pragma once
#include "devices/VRLHddInfo.h"

#include <QString>
#include <QStringList>

// The disk table of the create-RAID panel answers by column identifier.
namespace DiskColumns {
inline const QString TableIdentifier = QStringLiteral("DiskList");
inline const QString Model = QStringLiteral("Model");
inline const QString SN = QStringLiteral("SN");
inline const QString Available = QStringLiteral("Available");
inline const QString Slot = QStringLiteral("Slot");
inline const QString DiskPath = QStringLiteral("DiskPath");
inline const QString MountPoint = QStringLiteral("MountPoint");

// An absent field shows as an empty cell; an unknown identifier as "-".
// `holds` names the RAID set or volumes on the disk; the MountPoint column
// shows it when it is not empty.
QString cellText(const VRLHddInfo& disk, const QString& identifier, const QString& holds = {});
}  // namespace DiskColumns
