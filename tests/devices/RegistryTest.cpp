#include "TreeHelpers.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

namespace {
RegistryTreePtr smallTree(int* bridge = nullptr, int* ctl = nullptr, int* disk = nullptr)
{
    auto t = std::make_shared<RegistryTree>();
    const int b = addPath(*t, RegistryTree::Root, "PCI0@0/pci-bridge@2", "IOPCIDevice",
                          {{"UID", qint64(7)}, {"Thunderbolt Path", "IOService:/x/y"}});
    const int i = t->add(b, "IOPCI2PCIBridge", "IOPP");
    const int c = t->add(i, "IOPCIDevice", "pci1b21,612", {{"vendor-id", qint64(0x1b21)}}, "0");
    const int d = addPath(*t, c, "AppleAHCI/PRT0@0/IOAHCIDevice@0/AppleAHCIDiskDriver", "AppleAHCIDiskDriver",
                          {{"Physical Interconnect Location", "External"}, {"UID", qint64(9)}});
    if (bridge)
        *bridge = b;
    if (ctl)
        *ctl = c;
    if (disk)
        *disk = d;
    return t;
}

QStringList names(RegistryIterator it)
{
    QStringList out;
    while (RegistryEntry e = Registry::IOIteratorNext(it)) {
        QString n;
        Registry::IORegistryEntryGetName(e, n);
        out << n;
    }
    return out;
}
}  // namespace

TEST(Registry, PathNameAndParent)
{
    int bridge, ctl, disk;
    RegistryTreePtr t = smallTree(&bridge, &ctl, &disk);
    const RegistryEntry c(t, ctl);
    EXPECT_EQ(Registry::IORegistryEntryGetPath(c), "IOService:/PCI0@0/pci-bridge@2/IOPP/pci1b21,612@0");
    QString name;
    EXPECT_EQ(Registry::IORegistryEntryGetName(c, name), RegistryStatus::Success);
    EXPECT_EQ(name, "pci1b21,612");  // without the location
    EXPECT_NE(Registry::IORegistryEntryGetName(RegistryEntry(), name), RegistryStatus::Success);
    EXPECT_EQ(Registry::IORegistryEntryGetPath(RegistryEntry(t, RegistryTree::Root)), "IOService:/");

    const RegistryEntry iopp = Registry::IORegistryEntryGetParentEntry(c);
    EXPECT_EQ(iopp.index(), t->node(ctl).parent);
    EXPECT_TRUE(Registry::IORegistryEntryGetParentEntry(RegistryEntry(t, RegistryTree::Root)).isNull());
    EXPECT_EQ(names(Registry::IORegistryEntryGetChildIterator(RegistryEntry(t, bridge))), QStringList{"IOPP"});
}

TEST(Registry, SearchPropertyByDirection)
{
    int bridge, ctl, disk;
    RegistryTreePtr t = smallTree(&bridge, &ctl, &disk);
    const RegistryEntry d(t, disk), c(t, ctl);
    const int up = Registry::SearchRecursively | Registry::SearchParents;
    // Nearest first: the disk's own UID hides the bridge's.
    EXPECT_EQ(Registry::IORegistryEntrySearchCFProperty(d, "UID", up).toLongLong(), 9);
    EXPECT_EQ(Registry::IORegistryEntrySearchCFProperty(c, "UID", up).toLongLong(), 7);
    EXPECT_EQ(Registry::IORegistryEntrySearchCFProperty(d, "Thunderbolt Path", up).toString(), "IOService:/x/y");
    EXPECT_FALSE(Registry::IORegistryEntrySearchCFProperty(c, "UID", 0).isValid());
    EXPECT_FALSE(Registry::IORegistryEntrySearchCFProperty(d, "Nothing", up).isValid());
    // Downwards from the controller reaches the disk.
    EXPECT_EQ(Registry::IORegistryEntrySearchCFProperty(c, "UID", Registry::SearchRecursively).toLongLong(), 9);
    EXPECT_FALSE(Registry::IORegistryEntryCreateCFProperty(c, "UID").isValid());
    EXPECT_EQ(Registry::IORegistryEntryCreateCFProperties(d).size(), 2);
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
    QList<RegistryEntry> gone, added;
    QObject::connect(&r, &Registry::entriesTerminated, [&](const QList<RegistryEntry>& e) { gone << e; });
    QObject::connect(&r, &Registry::entriesPublished, [&](const QList<RegistryEntry>& e) { added << e; });
    r.replaceTree(second);

    QStringList goneNames, addedNames;
    for (const auto& e : gone)
        goneNames << e.node()->name;
    for (const auto& e : added)
        addedNames << e.node()->name;
    // The intermediate "IOService" entries carry the paths too.
    EXPECT_TRUE(goneNames.contains("pci1b21,612"));
    EXPECT_TRUE(addedNames.contains("pci1b21,625"));
    EXPECT_FALSE(goneNames.contains("pci8086,1"));
    EXPECT_FALSE(addedNames.contains("pci8086,1"));
    // A terminated entry stays readable after its tree is gone.
    first.reset();
    int checked = 0;
    for (const auto& e : gone) {
        if (e.node()->name == "pci1b21,612") {
            EXPECT_EQ(Registry::IORegistryEntryGetPath(e), "IOService:/PCI0/pci-bridge@0/IOPP/pci1b21,612@0");
            ++checked;
        }
    }
    EXPECT_EQ(checked, 1);
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
    RegistryNotificationPort* port = r.IONotificationPortCreate(&owner);
    QThread* seenOn = nullptr;
    RegistryIterator it;
    r.IOServiceAddMatchingNotification(port, "IOServicePublish", r.IOServiceMatching("IOPCIDevice"),
                                       [&](RegistryIterator& i) {
                                           seenOn = QThread::currentThread();
                                           while (Registry::IOIteratorNext(i)) {
                                           }
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
}

TEST(FixtureRegistry, RejectsMalformedDocuments)
{
    const char* bad[] = {
        "not json",
        R"({"nothing": {}})",
        R"({"root": {"class": "R", "children": [{"name": "no class"}]}})",
        R"({"root": {"class": "R", "children": [{"class": "X", "properties": {"Size": 1.5}}]}})",
        R"({"root": {"class": "R", "children": [{"class": "X", "properties": {"List": [1]}}]}})",
    };
    for (const char* doc : bad) {
        QString error;
        EXPECT_FALSE(FixtureRegistry::parse(doc, &error)) << doc;
        EXPECT_FALSE(error.isEmpty()) << doc;
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

    auto countControllers = [&] {
        auto m = r.IOServiceMatching("IOPCIDevice");
        RegistryIterator it;
        r.IOServiceGetMatchingServices(m, it);
        int n = 0;
        while (RegistryEntry e = Registry::IOIteratorNext(it))
            n += e.node()->name.startsWith("pci1b21,") ? 1 : 0;
        return n;
    };
    EXPECT_EQ(countControllers(), 0);

    replaceFileWith(registryFixture("enclosure-771.json"), path);  // by rename
    ASSERT_TRUE(QTest::qWaitFor([&] { return countControllers() == 4; }, 5000));

    {   // in place, twice in a row: one reload after the burst
        const int before = reloaded.count();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("{\"root\": ");
        f.flush();
        QFile src(registryFixture("enclosure-782.json"));
        src.open(QIODevice::ReadOnly);
        const QByteArray body = src.readAll();
        f.write(body.mid(body.indexOf(':') + 1));
        f.close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return countControllers() == 2; }, 5000));
        EXPECT_EQ(reloaded.count(), before + 1);
    }

    // A broken file keeps the last good tree.
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write("{\"root\": ");
    f.close();
    QTest::qWait(400);
    EXPECT_EQ(countControllers(), 2);
    EXPECT_FALSE(r.errorString().isEmpty());
}
