#pragma once
#include "base/NotificationCenter.h"
#include "devices/Registry.h"

#include <QObject>

// Announces enclosures being attached or detached: for every PCI entry that
// is one of the enclosures' SATA controllers, "TBDeviceAttached" when it is
// published and "TBDeviceDeattached" when it is terminated. Entries present
// when the watch starts are consumed silently. Notifications are delivered
// on the thread that constructed the monitor.
class ThunderBoltMonitor : public QObject {
    Q_OBJECT
public:
    explicit ThunderBoltMonitor(Registry& registry,
                                NotificationCenter& center = NotificationCenter::defaultCenter(),
                                QObject* parent = nullptr);

    // Starts the watch (registerForThunderboltNotifications).
    void MonitorInit();
    // Asks for publish and terminate notifications of PCI entries and drains
    // the entries already present, which primes the watch.
    void registerForThunderboltNotifications();
    // Post "TBDeviceAttached" / "TBDeviceDeattached" per enclosure controller, once primed.
    void tbDeviceAdded(RegistryIterator& iterator);
    void tbDeviceRemoved(RegistryIterator& iterator);
    // The entry's registry name, or absent when it cannot be read.
    std::optional<QString> devicenameForThunderboltObject(const RegistryEntry& entry);

    // True once the entries present at the start have been consumed.
    bool notificationsArePrimed() const { return notificationsArePrimed_; }

private:
    bool isEnclosureController(const RegistryEntry& entry);

    Registry& registry_;
    NotificationCenter& center_;
    bool notificationsArePrimed_ = false;
    RegistryNotificationPort* ioKitNotificationPort_ = nullptr;  // a child; delivers on our thread
    RegistryIterator addedIterator_;
    RegistryIterator removedIterator_;
};
