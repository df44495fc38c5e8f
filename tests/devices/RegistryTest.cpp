#include "TreeHelpers.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

namespace {
// A bridge with a UID and a Thunderbolt path, a controller and a disk with a UID of its own.
struct SmallTree {
    std::shared_ptr<RegistryTree> tree = std::make_shared<RegistryTree>();
    int bridge = addPath(*tree, RegistryTree::Root, "PCI0@0/pci-bridge@2", "IOPCIDevice",
                         {{"UID", qint64(7)}, {"Thunderbolt Path", "IOService:/x/y"}});
    int ctl = tree->add(tree->add(bridge, "IOPCI2PCIBridge", "IOPP"), "IOPCIDevice", "pci1b21,612",
                        {{"vendor-id", qint64(0x1b21)}}, "0");
    int disk = addPath(*tree, ctl, "AppleAHCI/PRT0@0/IOAHCIDevice@0/AppleAHCIDiskDriver", "AppleAHCIDiskDriver",
                       {{"Physical Interconnect Location", "External"}, {"UID", qint64(9)}});
    RegistryEntry operator[](int index) const { return RegistryEntry(tree, index); }
};

QStringList names(RegistryIterator it)
{
    QStringList out;
    while (RegistryEntry e = Registry::IOIteratorNext(it))
        out << e.node()->name;
    return out;
}
}  // namespace

TEST(Registry, PathNameParentAndPropertySearch)
{
    const SmallTree t;
    EXPECT_EQ(Registry::IORegistryEntryGetPath(t[t.ctl]), "IOService:/PCI0@0/pci-bridge@2/IOPP/pci1b21,612@0");
    EXPECT_EQ(Registry::IORegistryEntryGetPath(t[RegistryTree::Root]), "IOService:/");
    QString name;
    EXPECT_EQ(Registry::IORegistryEntryGetName(t[t.ctl], name), RegistryStatus::Success);
    EXPECT_EQ(name, "pci1b21,612");  // without the location
    EXPECT_NE(Registry::IORegistryEntryGetName(RegistryEntry(), name), RegistryStatus::Success);
    EXPECT_EQ(Registry::IORegistryEntryGetParentEntry(t[t.ctl]).index(), t.tree->node(t.ctl).parent);
    EXPECT_TRUE(Registry::IORegistryEntryGetParentEntry(t[RegistryTree::Root]).isNull());
    EXPECT_EQ(names(Registry::IORegistryEntryGetChildIterator(t[t.bridge])), QStringList{"IOPP"});

    // Upwards, nearest first: the disk's own UID hides the bridge's.
    const int up = Registry::SearchRecursively | Registry::SearchParents;
    EXPECT_EQ(Registry::IORegistryEntrySearchCFProperty(t[t.disk], "UID", up).toLongLong(), 9);
    EXPECT_EQ(Registry::IORegistryEntrySearchCFProperty(t[t.ctl], "UID", up).toLongLong(), 7);
    EXPECT_EQ(Registry::IORegistryEntrySearchCFProperty(t[t.disk], "Thunderbolt Path", up).toString(), "IOService:/x/y");
    EXPECT_FALSE(Registry::IORegistryEntrySearchCFProperty(t[t.disk], "Nothing", up).isValid());
    EXPECT_FALSE(Registry::IORegistryEntrySearchCFProperty(t[t.ctl], "UID", 0).isValid());
    EXPECT_EQ(Registry::IORegistryEntryCreateCFProperties(t[t.disk]).size(), 2);
}

TEST(Registry, MatchingByClassAndPropertyValues)
{
    auto t = std::make_shared<RegistryTree>();
    const int a = t->add(RegistryTree::Root, "IOThunderboltSwitch", "A", {{"Device Vendor ID", qint64(65)}});
    t->add(a, "IOThunderboltSwitch", "B", {{"Device Vendor ID", qint64(1)}});
    t->add(a, "IOThunderboltSwitch", "C", {{"Device Vendor ID", "65"}});  // text, not a number
    t->add(a, "IOThunderboltSwitch", "D", {{"Device Vendor ID", qint64(65)}});
    t->add(RegistryTree::Root, "IOThunderboltSwitch", "E", {{"Device Vendor ID", qint64(65)}});
    t->add(RegistryTree::Root, "IOPCIDevice", "F", {{"Device Vendor ID", qint64(65)}});
    Registry r;
    r.replaceTree(t);

    auto m = r.IOServiceMatching("IOThunderboltSwitch");
    ASSERT_TRUE(m);
    m->propertyMatch.insert("Device Vendor ID", qint32(65));
    RegistryIterator it;
    ASSERT_EQ(r.IOServiceGetMatchingServices(m, it), RegistryStatus::Success);
    EXPECT_EQ(names(it), (QStringList{"A", "D", "E"}));  // depth first, parents first
    EXPECT_FALSE(r.IOServiceMatching(QString()));
    EXPECT_NE(r.IOServiceGetMatchingServices(std::nullopt, it), RegistryStatus::Success);
}

TEST(Registry, ReplaceTreeAnnouncesDifferencesByClassAndPath)
{
    Registry r;
    auto first = std::make_shared<RegistryTree>();
    addPath(*first, RegistryTree::Root, "PCI0/pci-bridge@0/IOPP/pci1b21,612@0", "IOPCIDevice");
    addPath(*first, RegistryTree::Root, "PCI0/pci-bridge@1/IOPP/pci8086,1@0", "IOPCIDevice");
    r.replaceTree(first);
    auto second = std::make_shared<RegistryTree>();
    addPath(*second, RegistryTree::Root, "PCI0/pci-bridge@1/IOPP/pci8086,1@0", "IOPCIDevice");
    addPath(*second, RegistryTree::Root, "PCI0/pci-bridge@3/IOPP/pci1b21,625@0", "IOPCIDevice");
    QList<RegistryEntry> gone;
    QStringList goneNames, addedNames;
    QObject::connect(&r, &Registry::entriesTerminated, [&](const QList<RegistryEntry>& e) {
        gone << e;
        for (const auto& x : e)
            goneNames << x.node()->name;
    });
    QObject::connect(&r, &Registry::entriesPublished, [&](const QList<RegistryEntry>& e) {
        for (const auto& x : e)
            addedNames << x.node()->name;
    });
    r.replaceTree(second);

    // The intermediate "IOService" entries come and go too.
    EXPECT_EQ(goneNames.filter("pci"), (QStringList{"pci-bridge", "pci1b21,612"}));
    EXPECT_EQ(addedNames.filter("pci"), (QStringList{"pci-bridge", "pci1b21,625"}));
    // A terminated entry stays readable after its tree is gone.
    first.reset();
    EXPECT_EQ(Registry::IORegistryEntryGetPath(gone.last()), "IOService:/PCI0/pci-bridge@0/IOPP/pci1b21,612@0");
}

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
