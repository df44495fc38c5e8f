#pragma once
// The names of every application notification and the keys of their payloads.
#include <QString>
#include <QStringList>

namespace Notifications {
inline const QString TBDeviceAttached = QStringLiteral("TBDeviceAttached");
inline const QString TBDeviceDeattached = QStringLiteral("TBDeviceDeattached");
inline const QString TBDevPopupChange = QStringLiteral("TBDevPopupChange");
inline const QString ShowRAIDInfo = QStringLiteral("ShowRAIDInfo");
inline const QString CreateRAIDFinish = QStringLiteral("CreateRAIDFinish");
inline const QString DeleteConfirm = QStringLiteral("DeleteConfirm");
inline const QString NoVolumeNameOfRAID = QStringLiteral("NoVolumeNameOfRAID");
inline const QString ShowCreateRaidWindows = QStringLiteral("ShowCreateRaidWindows");
inline const QString ReplaceStep1 = QStringLiteral("ReplaceStep1");
inline const QString ReplaceStep2 = QStringLiteral("ReplaceStep2");
inline const QString ReplaceStep3 = QStringLiteral("ReplaceStep3");
inline const QString ZpoolCMDFinish = QStringLiteral("ZpoolCMDFinish");
inline const QString KMPrivilegedTaskDidTerminateNotification =
    QStringLiteral("KMPrivilegedTaskDidTerminateNotification");

// The twelve names the main window's hub observes, in the order it tests them.
inline const QStringList HubNames = {
    TBDeviceAttached, TBDeviceDeattached, TBDevPopupChange, ShowRAIDInfo,
    CreateRAIDFinish, DeleteConfirm,      NoVolumeNameOfRAID, ShowCreateRaidWindows,
    ReplaceStep1,     ReplaceStep2,       ReplaceStep3,       ZpoolCMDFinish};

namespace Key {
inline const QString PoolName = QStringLiteral("PoolName");
inline const QString raidName = QStringLiteral("raidName");
inline const QString diskName = QStringLiteral("diskName");
inline const QString diskSlot = QStringLiteral("diskSlot");
inline const QString CMD = QStringLiteral("CMD");
inline const QString isRoot = QStringLiteral("isRoot");
}  // namespace Key
}  // namespace Notifications
