#include "TreeHelpers.h"

#include "base/Notifications.h"
#include "devices/ThunderBoltMonitor.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using Counts = std::pair<qsizetype, qsizetype>;

// {attached, detached} posted per change of the fixture file. Rewrites in
// place are followed in the replace wizard's tests.
TEST(ThunderBoltMonitor, OneNotificationPerEnclosureControllerThatComesOrGoes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("registry.json");
    QFile::copy(registryFixture("enclosure-771.json"), path);
    FixtureRegistry registry(path);
    NotificationCenter center;
    QStringList posted;
    for (const QString& name : {Notifications::TBDeviceAttached, Notifications::TBDeviceDeattached})
        center.addObserver(name, nullptr, [&](const Notification& n) { posted << n.name; });
    ThunderBoltMonitor monitor(registry, center);
    monitor.MonitorInit();
    EXPECT_TRUE(monitor.notificationsArePrimed());
    auto switchTo = [&](const QString& fixture) {
        posted.clear();
        QSignalSpy reloaded(&registry, &FixtureRegistry::reloaded);
        QFile in(registryFixture(fixture));
        in.open(QIODevice::ReadOnly);
        writeFile(path + ".new", in.readAll());  // written aside, renamed over, as scripts do
        std::rename(qPrintable(path + ".new"), qPrintable(path));
        EXPECT_TRUE(reloaded.wait(5000)) << fixture.toStdString();
        QTest::qWait(200);
        return Counts(posted.count(Notifications::TBDeviceAttached), posted.count(Notifications::TBDeviceDeattached));
    };
    QTest::qWait(50);
    EXPECT_TRUE(posted.isEmpty());  // present controllers are silent
    // Controllers there before the monitor started are announced when they go.
    EXPECT_EQ(switchTo("none.json"), Counts(0, 4));
    EXPECT_EQ(switchTo("foreign.json"), Counts(0, 0));  // a dock with Ethernet and USB controllers
    EXPECT_EQ(switchTo("enclosure-771.json"), Counts(4, 0));
    EXPECT_EQ(switchTo("chain.json"), Counts(4, 0));  // the first enclosure stays
    EXPECT_EQ(switchTo("enclosure-782.json"), Counts(2, 8));

    // A broken file keeps the last good tree: nothing is taken for gone.
    posted.clear();
    writeFile(path, "{\"root\": ");
    QTest::qWait(400);
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_FALSE(registry.errorString().isEmpty());
}
