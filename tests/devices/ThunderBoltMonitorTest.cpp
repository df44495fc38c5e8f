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

// The monitor on a fixture file that is replaced by rename, or rewritten in
// place in two bursts (one reload); {attached, detached} posted per change.
TEST(ThunderBoltMonitor, OneNotificationPerEnclosureControllerThatComesOrGoes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("registry.json");
    QFile::copy(registryFixture("enclosure-771.json"), path);
    FixtureRegistry registry(path);
    NotificationCenter center;
    QStringList posted;
    for (const QString& name : {Notifications::TBDeviceAttached, Notifications::TBDeviceDeattached})
        center.addObserver(name, nullptr, [&](const Notification& n) {
            posted << n.name;
            EXPECT_EQ(n.sender, nullptr);
            EXPECT_TRUE(n.userInfo.isEmpty());
        });
    ThunderBoltMonitor monitor(registry, center);
    monitor.MonitorInit();
    EXPECT_TRUE(monitor.notificationsArePrimed());
    auto switchTo = [&](const QString& fixture, bool inPlace = false) {
        posted.clear();
        QSignalSpy reloaded(&registry, &FixtureRegistry::reloaded);
        QFile in(registryFixture(fixture)), out(path);
        in.open(QIODevice::ReadOnly);
        const QByteArray body = in.readAll();
        if (inPlace) {
            out.open(QIODevice::WriteOnly | QIODevice::Truncate);
            out.write(body.left(body.size() / 2));
            out.flush();
            out.write(body.mid(body.size() / 2));
            out.close();
        } else {  // the way scripts do: written aside, renamed over
            writeFile(path + ".new", body);
            std::rename(qPrintable(path + ".new"), qPrintable(path));
        }
        EXPECT_TRUE(reloaded.wait(5000)) << fixture.toStdString();
        QTest::qWait(200);
        EXPECT_EQ(reloaded.count(), 1) << fixture.toStdString();
        return Counts(posted.count(Notifications::TBDeviceAttached), posted.count(Notifications::TBDeviceDeattached));
    };
    QTest::qWait(50);
    EXPECT_TRUE(posted.isEmpty());  // present controllers are silent
    // Controllers there before the monitor started are announced when they go.
    EXPECT_EQ(switchTo("none.json"), Counts(0, 4));
    EXPECT_EQ(switchTo("foreign.json"), Counts(0, 0));  // a dock with Ethernet and USB controllers
    EXPECT_EQ(switchTo("enclosure-771.json", true), Counts(4, 0));
    EXPECT_EQ(switchTo("chain.json"), Counts(4, 0));  // the first enclosure stays
    EXPECT_EQ(switchTo("enclosure-782.json"), Counts(2, 8));

    // A broken file keeps the last good tree: nothing is taken for gone.
    posted.clear();
    writeFile(path, "{\"root\": ");
    QTest::qWait(400);
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_FALSE(registry.errorString().isEmpty());
}
