#include "devices/ThunderBoltMonitor.h"

#include "base/Log.h"
#include "base/Notifications.h"

#include <QCoreApplication>

namespace {
const QString kPCIDevice = QStringLiteral("IOPCIDevice");
}

ThunderBoltMonitor::ThunderBoltMonitor(Registry& registry, NotificationCenter& center,
                                       QObject* parent)
    : QObject(parent), registry_(registry), center_(center)
{
    ioKitNotificationPort_ = registry_.IONotificationPortCreate(this);
}

void ThunderBoltMonitor::MonitorInit()
{
    registerForThunderboltNotifications();
}

void ThunderBoltMonitor::registerForThunderboltNotifications()
{
    int status = registry_.IOServiceAddMatchingNotification(
        ioKitNotificationPort_, QStringLiteral("IOServicePublish"),
        registry_.IOServiceMatching(kPCIDevice),
        [this](RegistryIterator& it) { tbDeviceAdded(it); }, addedIterator_);
    if (status != RegistryStatus::Success)
        Log::write(QStringLiteral("matching notification registration failed: %1)").arg(status));
    else
        tbDeviceAdded(addedIterator_);  // arms the watch; not primed yet, so silent

    status = registry_.IOServiceAddMatchingNotification(
        ioKitNotificationPort_, QStringLiteral("IOServiceTerminate"),
        registry_.IOServiceMatching(kPCIDevice),
        [this](RegistryIterator& it) { tbDeviceRemoved(it); }, removedIterator_);
    if (status == RegistryStatus::Success)
        tbDeviceRemoved(removedIterator_);
    else
        Log::write(QStringLiteral("Couldn't add device removal notification"));

    notificationsArePrimed_ = true;
}

bool ThunderBoltMonitor::isEnclosureController(const RegistryEntry& entry)
{
    // An entry whose name cannot be read is not taken for a controller.
    const auto name = devicenameForThunderboltObject(entry);
    return name && (name->contains(QLatin1String("pci1b21,612")) ||
                    name->contains(QLatin1String("pci1b21,625")));
}

void ThunderBoltMonitor::tbDeviceAdded(RegistryIterator& iterator)
{
    while (RegistryEntry e = Registry::IOIteratorNext(iterator)) {
        if (notificationsArePrimed_ && isEnclosureController(e))
            center_.post(Notifications::TBDeviceAttached);
        Registry::IOObjectRelease(e);
    }
}

void ThunderBoltMonitor::tbDeviceRemoved(RegistryIterator& iterator)
{
    while (RegistryEntry e = Registry::IOIteratorNext(iterator)) {
        if (isEnclosureController(e))
            center_.post(Notifications::TBDeviceDeattached);
        Registry::IOObjectRelease(e);
    }
}

std::optional<QString> ThunderBoltMonitor::devicenameForThunderboltObject(const RegistryEntry& entry)
{
    QString name;
    const int status = Registry::IORegistryEntryGetName(entry, name);
    if (status != RegistryStatus::Success) {
        Log::write(QStringLiteral("Could not get name for Thunderbolt object: "
                                  "IORegistryEntryGetName returned 0x%1")
                       .arg(uint(status), 0, 16));
        return std::nullopt;
    }
    for (QChar c : std::as_const(name))
        if (c.unicode() > 0x7f)
            return QCoreApplication::translate("ThunderBoltMonitor", "Unnamed Thunderbolt Device");
    return name;
}
