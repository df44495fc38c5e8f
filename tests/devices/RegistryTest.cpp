#include "TreeHelpers.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

namespace {
QStringList names(RegistryIterator it)
{
    QStringList out;
    while (RegistryEntry e = Registry::IOIteratorNext(it))
        out << e.node()->name;
    return out;
}
}  // namespace

TEST(Registry, NotificationWaitsForTheIteratorToBeDrained)
{
    Registry r;
    auto t = std::make_shared<RegistryTree>();
    t->add(RegistryTree::Root, "IOPCIDevice", "present");
    r.replaceTree(t);
    QObject owner;
    RegistryNotificationPort* port = r.IONotificationPortCreate(&owner);
    int calls = 0;
    RegistryIterator it;
    ASSERT_EQ(r.IOServiceAddMatchingNotification(port, "IOServicePublish", r.IOServiceMatching("IOPCIDevice"),
                                                 [&](RegistryIterator&) { ++calls; }, it),
              RegistryStatus::Success);
    auto withNew = [&](const QString& name) {
        auto n = std::make_shared<RegistryTree>(*r.tree());
        n->add(RegistryTree::Root, "IOPCIDevice", name);
        n->add(RegistryTree::Root, "IOMedia", name + "-media");
        r.replaceTree(n);
    };
    withNew("early");  // iterator not drained yet: no call, the entry waits in it
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(names(it), (QStringList{"present", "early"}));
    withNew("late");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(names(it), QStringList{"late"});

    RegistryIterator bad;
    EXPECT_NE(r.IOServiceAddMatchingNotification(port, "IOServiceSomething", r.IOServiceMatching("IOPCIDevice"),
                                                 [](RegistryIterator&) {}, bad),
              RegistryStatus::Success);
}

TEST(Registry, NotificationsFromAnotherThreadArriveOnThePortThread)
{
    Registry r;
    QObject owner;
    QThread* seenOn = nullptr;
    RegistryIterator it;
    r.IOServiceAddMatchingNotification(r.IONotificationPortCreate(&owner), "IOServicePublish",
                                       r.IOServiceMatching("IOPCIDevice"),
                                       [&](RegistryIterator& i) {
                                           seenOn = QThread::currentThread();
                                           names(i);
                                       },
                                       it);
    std::thread worker([&] {
        auto n = std::make_shared<RegistryTree>();
        n->add(RegistryTree::Root, "IOPCIDevice", "from-worker");
        r.replaceTree(n);
    });
    worker.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return seenOn != nullptr; }, 2000));
    EXPECT_EQ(seenOn, QThread::currentThread());
}

TEST(FixtureRegistry, ParsesEntriesAndKeeps64BitNumbers)
{
    QString error;
    RegistryTreePtr t = FixtureRegistry::parse(R"({"root": {"class": "IORegistryEntry", "children": [
        {"class": "IOThunderboltSwitch", "location": 3,
         "properties": {"UID": 63050394783191041, "Depth": 2, "Device Model Name": "Quad", "On": true}},
        {"class": "IOService", "name": "named", "children": []}]}})",
                                               &error);
    ASSERT_TRUE(t) << error.toStdString();
    ASSERT_EQ(t->size(), 3);
    const auto& sw = t->node(1);
    EXPECT_EQ(sw.name, "IOThunderboltSwitch");  // no name: the class
    EXPECT_EQ(sw.location.value_or(""), "3");
    EXPECT_EQ(Registry::number(sw.properties["UID"]).value_or(0), 63050394783191041LL);
    EXPECT_TRUE(Registry::isTrue(sw.properties["On"]));
    EXPECT_FALSE(Registry::isTrue(sw.properties["Depth"]));  // a number is no boolean
    EXPECT_EQ(Registry::text(sw.properties["Device Model Name"]).value_or(""), "Quad");
    EXPECT_EQ(t->path(2), "IOService:/named");

    for (const char* bad : {"not json", R"({"nothing": {}})",
                            R"({"root": {"class": "R", "children": [{"name": "no class"}]}})",
                            R"({"root": {"class": "R", "children": [{"class": "X", "properties": {"Size": 1.5}}]}})",
                            R"({"root": {"class": "R", "children": [{"class": "X", "properties": {"List": [1]}}]}})"}) {
        error.clear();
        EXPECT_FALSE(FixtureRegistry::parse(bad, &error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}

TEST(FixtureRegistry, FollowsTheFileWrittenInPlaceOrReplaced)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("registry.json");
    replaceFileWith(registryFixture("none.json"), path);
    FixtureRegistry r(path);
    ASSERT_TRUE(r.errorString().isEmpty()) << r.errorString().toStdString();
    QSignalSpy reloaded(&r, &FixtureRegistry::reloaded);
    auto controllers = [&] {
        RegistryIterator it;
        r.IOServiceGetMatchingServices(r.IOServiceMatching("IOPCIDevice"), it);
        return names(it).filter("pci1b21,").size();
    };
    EXPECT_EQ(controllers(), 0);

    replaceFileWith(registryFixture("enclosure-771.json"), path);  // by rename
    ASSERT_TRUE(QTest::qWaitFor([&] { return controllers() == 4; }, 5000));

    // In place, twice in a row: one reload after the burst.
    const int before = int(reloaded.count());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("{\"root\": ");
    f.flush();
    QFile src(registryFixture("enclosure-782.json"));
    src.open(QIODevice::ReadOnly);
    const QByteArray body = src.readAll();
    f.write(body.mid(body.indexOf(':') + 1));
    f.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return controllers() == 2; }, 5000));
    EXPECT_EQ(reloaded.count(), before + 1);

    // A broken file keeps the last good tree.
    writeFile(path, "{\"root\": ");
    QTest::qWait(400);
    EXPECT_EQ(controllers(), 2);
    EXPECT_FALSE(r.errorString().isEmpty());
}
