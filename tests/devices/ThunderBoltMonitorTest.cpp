#include "TreeHelpers.h"

#include "app/Notifications.h"
#include "devices/ThunderBoltMonitor.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A monitor on a fixture file in a temporary directory, counting what it posts.
struct MonitorRig {
    explicit MonitorRig(const QString& startFixture)
    {
        path = dir.filePath("registry.json");
        replaceFileWith(registryFixture(startFixture), path);
        registry = std::make_unique<FixtureRegistry>(path);
        for (const QString& name : {Notifications::TBDeviceAttached, Notifications::TBDeviceDeattached})
            center.addObserver(name, nullptr, [this](const Notification& n) {
                posted << n.name;
                EXPECT_EQ(n.sender, nullptr);
                EXPECT_TRUE(n.userInfo.isEmpty());
            });
        monitor = std::make_unique<ThunderBoltMonitor>(*registry, center);
    }
    // Swaps the fixture and waits until the registry has read it, plus a
    // moment for anything that would come late.
    void switchTo(const QString& fixture)
    {
        QSignalSpy reloaded(registry.get(), &FixtureRegistry::reloaded);
        replaceFileWith(registryFixture(fixture), path);
        ASSERT_TRUE(reloaded.wait(5000)) << fixture.toStdString();
        QTest::qWait(50);
    }
    int count(const QString& name) const { return posted.count(name); }

    QTemporaryDir dir;
    QString path;
    NotificationCenter center;
    std::unique_ptr<FixtureRegistry> registry;
    std::unique_ptr<ThunderBoltMonitor> monitor;
    QStringList posted;
};
}  // namespace

TEST(ThunderBoltMonitor, PresentControllersAreSilentThenPlugAndUnplugAreAnnounced)
{
    MonitorRig rig("enclosure-771.json");
    EXPECT_FALSE(rig.monitor->notificationsArePrimed());
    rig.monitor->MonitorInit();
    EXPECT_TRUE(rig.monitor->notificationsArePrimed());
    QTest::qWait(50);
    EXPECT_TRUE(rig.posted.isEmpty());

    // Unplugging: one notification per controller, even though they were
    // there before the monitor started.
    rig.switchTo("none.json");
    EXPECT_EQ(rig.count(Notifications::TBDeviceDeattached), 4);
    EXPECT_EQ(rig.count(Notifications::TBDeviceAttached), 0);

    rig.posted.clear();
    rig.switchTo("enclosure-771.json");
    EXPECT_EQ(rig.count(Notifications::TBDeviceAttached), 4);
    EXPECT_EQ(rig.count(Notifications::TBDeviceDeattached), 0);

    // Swapping for the second layout: four controllers go, two come.
    rig.posted.clear();
    rig.switchTo("enclosure-782.json");
    EXPECT_EQ(rig.count(Notifications::TBDeviceDeattached), 4);
    EXPECT_EQ(rig.count(Notifications::TBDeviceAttached), 2);
}

TEST(ThunderBoltMonitor, OtherPciDevicesAreIgnored)
{
    MonitorRig rig("none.json");
    rig.monitor->MonitorInit();
    rig.switchTo("foreign.json");  // a dock with Ethernet and USB controllers
    EXPECT_TRUE(rig.posted.isEmpty()) << rig.posted.join(",").toStdString();
    // The dock again, now with another vendor's SATA controller: silent. The
    // vendor-65 device of unknown model does have the enclosures' controllers,
    // and the filter knows only controller names.
    rig.switchTo("mixed.json");
    EXPECT_EQ(rig.count(Notifications::TBDeviceAttached), 4);
    EXPECT_EQ(rig.count(Notifications::TBDeviceDeattached), 0);
}

TEST(ThunderBoltMonitor, ChainedEnclosureAnnouncesItsOwnControllers)
{
    MonitorRig rig("enclosure-771.json");
    rig.monitor->MonitorInit();
    rig.switchTo("chain.json");  // the first enclosure stays; the second brings four more
    EXPECT_EQ(rig.count(Notifications::TBDeviceAttached), 4);
    EXPECT_EQ(rig.count(Notifications::TBDeviceDeattached), 0);
}

TEST(ThunderBoltMonitor, DeviceNames)
{
    Registry r;
    NotificationCenter center;
    int posted = 0;
    center.addObserver(Notifications::TBDeviceDeattached, nullptr, [&](const Notification&) { ++posted; });
    ThunderBoltMonitor monitor(r, center);
    auto t = std::make_shared<RegistryTree>();
    const int plain = t->add(RegistryTree::Root, "IOPCIDevice", "pci1b21,612", {}, "0");
    const int accented = t->add(RegistryTree::Root, "IOPCIDevice", QString::fromUtf8("pci1b21,625\xc3\xa9"));

    LogCapture log;
    EXPECT_EQ(monitor.devicenameForThunderboltObject(RegistryEntry(t, plain)).value_or(""), "pci1b21,612");
    EXPECT_EQ(monitor.devicenameForThunderboltObject(RegistryEntry(t, accented)).value_or(""),
              "Unnamed Thunderbolt Device");
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(monitor.devicenameForThunderboltObject(RegistryEntry()));
    EXPECT_EQ(log.lines(),
              QStringList{"Could not get name for Thunderbolt object: IORegistryEntryGetName returned 0xe00002c2"});

    // A name that is not ASCII is no controller's.
    RegistryIterator it(QList<RegistryEntry>{RegistryEntry(t, accented), RegistryEntry(t, plain)});
    monitor.tbDeviceRemoved(it);
    EXPECT_EQ(posted, 1);
    EXPECT_TRUE(it.isExhausted());
}
