#include "TreeHelpers.h"

#include "base/Notifications.h"
#include "devices/ThunderBoltMonitor.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A monitor on a fixture file in a temporary directory, counting what it posts.
struct MonitorRig {
    explicit MonitorRig(const QString& startFixture)
    {
        replaceFileWith(registryFixture(startFixture), path);
        registry = std::make_unique<FixtureRegistry>(path);
        for (const QString& name : {Notifications::TBDeviceAttached, Notifications::TBDeviceDeattached})
            center.addObserver(name, nullptr, [this](const Notification& n) {
                posted << n.name;
                EXPECT_EQ(n.sender, nullptr);
                EXPECT_TRUE(n.userInfo.isEmpty());
            });
        monitor = std::make_unique<ThunderBoltMonitor>(*registry, center);
        monitor->MonitorInit();
    }
    // Swaps the fixture, waits until the registry has read it and a moment for
    // anything late; returns {attached, detached} since the last swap.
    std::pair<qsizetype, qsizetype> switchTo(const QString& fixture)
    {
        posted.clear();
        QSignalSpy reloaded(registry.get(), &FixtureRegistry::reloaded);
        replaceFileWith(registryFixture(fixture), path);
        EXPECT_TRUE(reloaded.wait(5000)) << fixture.toStdString();
        QTest::qWait(50);
        return {posted.count(Notifications::TBDeviceAttached), posted.count(Notifications::TBDeviceDeattached)};
    }

    QTemporaryDir dir;
    QString path = dir.filePath("registry.json");
    NotificationCenter center;
    std::unique_ptr<FixtureRegistry> registry;
    std::unique_ptr<ThunderBoltMonitor> monitor;
    QStringList posted;
};
using Counts = std::pair<qsizetype, qsizetype>;
}  // namespace

TEST(ThunderBoltMonitor, OneNotificationPerEnclosureControllerThatComesOrGoes)
{
    MonitorRig rig("enclosure-771.json");
    EXPECT_TRUE(rig.monitor->notificationsArePrimed());
    QTest::qWait(50);
    EXPECT_TRUE(rig.posted.isEmpty());  // present controllers are silent

    // Controllers there before the monitor started are announced when they go.
    EXPECT_EQ(rig.switchTo("none.json"), Counts(0, 4));
    EXPECT_EQ(rig.switchTo("enclosure-771.json"), Counts(4, 0));
    EXPECT_EQ(rig.switchTo("chain.json"), Counts(4, 0));  // the first enclosure stays
    EXPECT_EQ(rig.switchTo("enclosure-782.json"), Counts(2, 8));
}

TEST(ThunderBoltMonitor, OtherPciDevicesAreIgnored)
{
    MonitorRig rig("none.json");
    EXPECT_EQ(rig.switchTo("foreign.json"), Counts(0, 0));  // a dock with Ethernet and USB controllers
    // The dock again with another vendor's SATA controller: silent. The
    // vendor-65 device of unknown model does have the enclosures' controllers,
    // and the filter knows only controller names.
    EXPECT_EQ(rig.switchTo("mixed.json"), Counts(4, 0));
}
