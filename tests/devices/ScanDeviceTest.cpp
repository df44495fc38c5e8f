#include "TreeHelpers.h"

#include "devices/VRLScanDevice.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace {
const QString kSwitch771 =
    "IOService:/Platform/PlatformExpert/PCI0@0/AppleACPIPCI/RP01@1c/IOPP/UPSB@0/IOPP/DSB0@0/IOPP/NHI0@0/"
    "IOThunderboltControllerType3/IOThunderboltSwitchType3@0/IOThunderboltPort@1/IOThunderboltSwitchType3@1";
constexpr qint64 kHostUID = 63133960379745024;

// Scans a fixture with a canned disk-usage listing.
struct Scan {
    explicit Scan(const QString& fixture, const QString& df = QString())
        : registry(registryFixture(fixture)), scanner(registry)
    {
        scanner.setDfRunner([df] { return df.isEmpty() ? QString() : readFixtureText(df); });
        scanner.resetArray("RADade");
        scanner.scanTBDevice();
    }
    FixtureRegistry registry;
    VRLScanDevice scanner;
};

// The same for a tree built in the test.
struct TreeScan {
    explicit TreeScan(RegistryTreePtr tree, QString df = QString()) : scanner(registry)
    {
        registry.replaceTree(std::move(tree));
        scanner.setDfRunner([df] { return df; });
        scanner.scanTBDevice();
    }
    Registry registry;
    VRLScanDevice scanner;
};

QStringList devPaths(const VRLHddInfo& hdd)
{
    QStringList out;
    for (const auto& b : hdd.bsdPathArray)
        out << b->devPath.value_or("<absent>");
    return out;
}

// A maker switch and one disk below `diskPath`, whose ancestor `tbHolder`
// (a prefix of diskPath) carries "Thunderbolt Path" = switch path + suffix.
struct OneEnclosure {
    std::shared_ptr<RegistryTree> tree = std::make_shared<RegistryTree>();
    int sw = -1;
    QString switchPath;

    OneEnclosure(qint64 model = 771)
    {
        sw = addPath(*tree, RegistryTree::Root, "TB/IOThunderboltSwitchType3@1", "IOThunderboltSwitch",
                     {{"Device Vendor ID", qint64(65)}, {"Device Model ID", model}, {"Depth", qint64(1)},
                      {"UID", qint64(5)}});
        switchPath = tree->path(sw);
    }
    int addDisk(const QString& pciPath, const QVariant& tbPath, const QString& bsd = "disk2")
    {
        const int up = tree->add(RegistryTree::Root, "IOPCIDevice", "UP", {});
        if (tbPath.isValid())
            tree->node(up).properties.insert("Thunderbolt Path", tbPath);
        const int d = addPath(*tree, up, pciPath + "/IOAHCIDevice@0/AppleAHCIDiskDriver", "AppleAHCIDiskDriver",
                              {{"Physical Interconnect Location", "External"}, {"Model", "M"}});
        addMedia(*tree, d, bsd, 100, "GUID_partition_scheme");
        return d;
    }
};
}  // namespace

TEST(VRLScanDevice, BayRules)
{
    const struct {
        const char* path;
        const char* bay;  // nullptr: no bay
    } cases[] = {
        {"x/pci-bridge@0/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0/", "Slot-A"},
        {"x/pci-bridge@1/IOPP/pci1b21,612@0/AppleAHCI/PRT1@1/", "Slot-B"},  // port does not matter
        {"x/pci-bridge@2/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0/", "Slot-C"},
        {"x/pci-bridge@3/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0/", "Slot-D"},
        {"x/pci-bridge@4/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0/", nullptr},
        {"x/pci-bridge@0/IOPP/pci1b21,625@0/AppleAHCI/PRT0@0/", "Slot-A"},
        {"x/pci-bridge@0/IOPP/pci1b21,625@0/AppleAHCI/PRT1@1/", "Slot-B"},
        {"x/pci-bridge@3/IOPP/pci1b21,625@0/AppleAHCI/PRT0@0/", "Slot-C"},
        {"x/pci-bridge@3/IOPP/pci1b21,625@0/AppleAHCI/PRT1@1/", "Slot-D"},
        {"x/pci-bridge@2/IOPP/pci1b21,625@0/AppleAHCI/PRT0@0/", nullptr},
        {"x/pci-bridge@0/IOPP/pci1b21,625@0/AppleAHCI/PRT2@2/", nullptr},
        {"x/pci-bridge@0/IOPP/pci1b21,625@0/AppleAHCI/PRT0@0", nullptr},  // no slash after the port
        // The first controller type decides alone, even when the second is named too.
        {"x/pci-bridge@5/IOPP/pci1b21,612@0/y/pci-bridge@0/IOPP/pci1b21,625@0/PRT0@0/", nullptr},
        {"x/pci-bridge@0/IOPP/PCI1B21,612@0/", nullptr},  // case-sensitive
        {"x/pci-bridge@0/IOPP/pci8086,2922@0/", nullptr},
    };
    for (const auto& c : cases) {
        const auto bay = VRLScanDevice::slotForPath(c.path);
        if (c.bay)
            EXPECT_EQ(bay.value_or("<none>"), c.bay) << c.path;
        else
            EXPECT_FALSE(bay) << c.path;
    }
}

TEST(VRLScanDevice, ParentOfThunderboltPath)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"IOService:/a/b/c", "IOService:/a/b"}, {"IOService:/a/b/", "IOService:/a"},
                 {"a//b", "a"},  {"no-slash", ""},   {"/x", "/"}, {"/", "/"}, {"", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(VRLScanDevice::deletingLastPathComponent(c.in), c.out) << c.in;
}

TEST(VRLScanDevice, MountPointFromTheLastVolumeRoot)
{
    const struct {
        const char* line;
        const char* mount;  // nullptr: absent
    } cases[] = {
        {"/dev/disk2s2 100 1 99 1% /Volumes/Backup Disk", "/Volumes/Backup Disk"},
        {"/dev/disk2s2 100 1 99 1% /Volumes/a/Volumes/b c", "/Volumes/b c"},
        {"/dev/sdb1 100 1 99 1% /media/alice/My Disk", "/media/alice/My Disk"},
        {"/dev/sdb1 100 1 99 1% /run/media/bob/Photos 2024", "/run/media/bob/Photos 2024"},
        {"/dev/disk0s2 100 1 99 1% /", nullptr},
        {"/dev/disk0s2 100 1 99 1% /mnt/data", nullptr},
    };
    for (const auto& c : cases) {
        const auto m = VRLScanDevice::mountPointInLine(c.line);
        if (c.mount)
            EXPECT_EQ(m.value_or("<absent>"), c.mount) << c.line;
        else
            EXPECT_FALSE(m) << c.line;
    }
}

TEST(VRLScanDevice, FirstLayoutEnclosureWithEveryKindOfDisk)
{
    Scan s("enclosure-771.json", "df-771.txt");
    ASSERT_EQ(s.scanner.tbArray().size(), 1);
    const VRLThunderboltInfo& tb = *s.scanner.tbArray()[0];
    EXPECT_EQ(tb.moduleName.value_or(""), "Varnelo Quad TB2");
    EXPECT_EQ(tb.vendorName.value_or(""), "Varnelo");
    EXPECT_EQ(tb.uid.value_or(0), 63050394783186945);
    EXPECT_EQ(tb.depth.value_or(-1), 1);
    EXPECT_EQ(tb.parentTb.value_or(0), kHostUID);
    EXPECT_EQ(tb.routeSring.value_or(0), 1);
    EXPECT_EQ(tb.portNum, 0.0f);
    EXPECT_EQ(tb.tbPath.value_or(""), kSwitch771);
    EXPECT_EQ(tb.moduleID.value_or(0), 771);
    EXPECT_EQ(tb.vendorID.value_or(0), 65);
    EXPECT_EQ(tb.state.value_or(0), 4);

    // The eSATA disk (no Thunderbolt path) and the internal disk are not listed.
    ASSERT_EQ(tb.hddArray.size(), 4);
    const VRLHddInfo& a = *tb.hddArray[0];
    EXPECT_EQ(a.hddModel.value_or(""), "HDD 4000GB A");  // blanks and tab trimmed
    EXPECT_EQ(a.hddSN.value_or(""), "SN-0A1B2C");
    EXPECT_EQ(a.slotPath.value_or(""), "Slot-A");
    EXPECT_EQ(a.devPath.value_or(""), "/dev/disk2");
    EXPECT_EQ(a.diskSize.value_or(0), 4000787030016);
    EXPECT_FALSE(a.isUnFormated);
    ASSERT_EQ(devPaths(a), QStringList{"/dev/disk2s2"});  // the EFI partition is not open
    const VRLBsdInfo& backup = *a.bsdPathArray[0];
    EXPECT_EQ(backup.mountPoint.value_or(""), "/Volumes/Backup Disk");
    EXPECT_EQ(backup.capacitySize.value_or(0), 7813363336);
    EXPECT_EQ(backup.availableSize.value_or(0), 6578795446);

    const VRLHddInfo& b = *tb.hddArray[1];  // no partition map
    EXPECT_EQ(b.slotPath.value_or(""), "Slot-B");
    EXPECT_TRUE(b.isUnFormated);
    EXPECT_EQ(b.devPath.value_or(""), "/dev/disk3");
    EXPECT_EQ(b.diskSize.value_or(0), 3000592982016);
    EXPECT_TRUE(b.bsdPathArray.isEmpty());

    const VRLHddInfo& c = *tb.hddArray[2];  // file system on the whole disk, mounted
    EXPECT_EQ(c.slotPath.value_or(""), "Slot-C");
    EXPECT_FALSE(c.isUnFormated);
    EXPECT_EQ(c.devPath.value_or(""), "/dev/disk4");
    EXPECT_TRUE(c.bsdPathArray.isEmpty());

    // Depth first: s1, then the extended s2's open logical s6 (s5 is not
    // open, s2 is no leaf), then s3.
    const VRLHddInfo& d = *tb.hddArray[3];
    EXPECT_EQ(d.slotPath.value_or(""), "Slot-D");
    ASSERT_EQ(devPaths(d), (QStringList{"/dev/disk5s1", "/dev/disk5s6", "/dev/disk5s3"}));
    const VRLBsdInfo& photos = *d.bsdPathArray[0];
    EXPECT_EQ(photos.mountPoint.value_or(""), "/Volumes/Photos");
    EXPECT_EQ(photos.capacitySize.value_or(0), 781250000);
    const VRLBsdInfo& outside = *d.bsdPathArray[1];  // mounted outside /Volumes/
    EXPECT_FALSE(outside.mountPoint);
    EXPECT_EQ(outside.capacitySize.value_or(0), 585937500);
    EXPECT_EQ(outside.availableSize.value_or(0), 100);
    const VRLBsdInfo& shortLine = *d.bsdPathArray[2];  // too few fields: no sizes
    EXPECT_EQ(shortLine.mountPoint.value_or(""), "/Volumes/Work");
    EXPECT_FALSE(shortLine.capacitySize);
    EXPECT_FALSE(shortLine.availableSize);
}

TEST(VRLScanDevice, UnmountedPartitionsKeepMountFieldsAbsent)
{
    Scan s("enclosure-771.json");  // df prints nothing
    ASSERT_EQ(s.scanner.tbArray().size(), 1);
    for (const auto& hdd : s.scanner.tbArray()[0]->hddArray)
        for (const auto& b : hdd->bsdPathArray) {
            EXPECT_FALSE(b->mountPoint);
            EXPECT_FALSE(b->capacitySize);
            EXPECT_FALSE(b->availableSize);
        }
}

TEST(VRLScanDevice, LinuxVolumeRoots)
{
    Scan s("enclosure-771.json", "df-linux.txt");
    const auto& disks = s.scanner.tbArray().at(0)->hddArray;
    EXPECT_EQ(disks[0]->bsdPathArray[0]->mountPoint.value_or(""), "/media/alice/My Disk");
    EXPECT_EQ(disks[0]->bsdPathArray[0]->capacitySize.value_or(0), 7813363336);
    EXPECT_EQ(disks[3]->bsdPathArray[0]->mountPoint.value_or(""), "/run/media/bob/Photos 2024");
}

TEST(VRLScanDevice, SecondLayoutBaysByBridgeAndPort)
{
    Scan s("enclosure-782.json");
    ASSERT_EQ(s.scanner.tbArray().size(), 1);
    const auto& tb = *s.scanner.tbArray()[0];
    EXPECT_EQ(tb.moduleID.value_or(0), 782);
    QStringList got;
    for (const auto& h : tb.hddArray)
        got << h->devPath.value_or("") + " " + h->slotPath.value_or("-");
    EXPECT_EQ(got, (QStringList{"/dev/disk2 Slot-A", "/dev/disk3 Slot-B", "/dev/disk4 Slot-C",
                                "/dev/disk5 Slot-D"}));
}

TEST(VRLScanDevice, ChainOfTwoEnclosuresOfTheSameModel)
{
    Scan s("chain.json");
    const TBList& tbs = s.scanner.tbArray();
    ASSERT_EQ(tbs.size(), 2);
    EXPECT_EQ(tbs[0]->moduleName, tbs[1]->moduleName);
    EXPECT_EQ(tbs[0]->depth.value_or(0), 1);
    EXPECT_EQ(tbs[0]->parentTb.value_or(0), kHostUID);
    EXPECT_EQ(tbs[1]->depth.value_or(0), 2);
    EXPECT_EQ(tbs[1]->routeSring.value_or(0), 0x301);
    EXPECT_EQ(tbs[1]->parentTb.value_or(0), tbs[0]->uid.value_or(-1));
    EXPECT_NE(tbs[0]->tbPath, tbs[1]->tbPath);
    auto list = [](const VRLThunderboltInfo& tb) {
        QStringList out;
        for (const auto& h : tb.hddArray)
            out << h->devPath.value_or("") + " " + h->slotPath.value_or("-");
        return out;
    };
    EXPECT_EQ(list(*tbs[0]), (QStringList{"/dev/disk2 Slot-A", "/dev/disk3 Slot-B"}));
    EXPECT_EQ(list(*tbs[1]), (QStringList{"/dev/disk4 Slot-C", "/dev/disk5 Slot-D"}));
}

TEST(VRLScanDevice, ForeignDevicesAndUnknownModelsAreNotEnclosures)
{
    for (const char* fixture : {"mixed.json", "none.json", "foreign.json"}) {
        Scan s(fixture);
        EXPECT_TRUE(s.scanner.tbArray().isEmpty()) << fixture;
    }
}

TEST(VRLScanDevice, SwitchWithoutDepthOrModel)
{
    auto t = std::make_shared<RegistryTree>();
    const int parent = t->add(RegistryTree::Root, "IOService", "P", {{"UID", qint64(11)}});
    t->add(parent, "IOThunderboltSwitch", "NoDepth", {{"Device Vendor ID", qint64(65)},
                                                      {"Device Model ID", qint64(567)}});
    t->add(parent, "IOThunderboltSwitch", "NoModel", {{"Device Vendor ID", qint64(65)}, {"Depth", qint64(1)}});
    t->add(parent, "IOThunderboltSwitch", "Deep", {{"Device Vendor ID", qint64(65)},
                                                   {"Device Model ID", qint64(568)}, {"Depth", qint64(3)}});
    TreeScan s(t);
    ASSERT_EQ(s.scanner.tbArray().size(), 2);
    EXPECT_FALSE(s.scanner.tbArray()[0]->parentTb);
    EXPECT_FALSE(s.scanner.tbArray()[0]->depth);
    EXPECT_EQ(s.scanner.tbArray()[1]->parentTb.value_or(0), 11);  // nearest UID above, any entry
}

TEST(VRLScanDevice, ThunderboltPathDecidesTheEnclosure)
{
    OneEnclosure e;
    const QString pci = "pci-bridge@1/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0";
    e.addDisk(pci, e.switchPath + "/IOThunderboltPCIUpAdapter", "disk2");
    e.addDisk(pci, e.switchPath + "/IOThunderboltPCIUpAdapter/", "disk3");  // trailing slash ignored
    e.addDisk(pci, "IOThunderboltPCIUpAdapter", "disk4");                   // no slash: empty parent
    e.addDisk(pci, QVariant(), "disk5");                                    // no Thunderbolt path
    e.addDisk(pci, e.switchPath + "/a/b", "disk6");                          // a grandchild path
    TreeScan s(e.tree);
    ASSERT_EQ(s.scanner.tbArray().size(), 1);
    QStringList got;
    for (const auto& h : s.scanner.tbArray()[0]->hddArray)
        got << h->devPath.value_or("") + " " + h->slotPath.value_or("-");
    // Nothing enforces one disk per bay.
    EXPECT_EQ(got, (QStringList{"/dev/disk2 Slot-B", "/dev/disk3 Slot-B"}));
}

TEST(VRLScanDevice, DiskWithoutBayIsStillListed)
{
    OneEnclosure e(782);
    const QString tb = e.switchPath + "/x";
    e.addDisk("pci-bridge@2/IOPP/pci1b21,625@0/AppleAHCI/PRT0@0", tb, "disk2");
    e.addDisk("pci-bridge@0/IOPP/pci1b21,625@0/AppleAHCI/PRT5@5", tb, "disk3");
    TreeScan s(e.tree);
    const auto& disks = s.scanner.tbArray().at(0)->hddArray;
    ASSERT_EQ(disks.size(), 2);
    EXPECT_FALSE(disks[0]->slotPath);
    EXPECT_FALSE(disks[1]->slotPath);
}

TEST(VRLScanDevice, MediaDetails)
{
    OneEnclosure e;
    const QString tb = e.switchPath + "/x";
    // A whole media without BSD name and with a partition without one.
    const int d1 = e.addDisk("pci-bridge@0/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0", tb, "disk2");
    const int whole1 = e.tree->node(d1).children.last();
    e.tree->node(whole1).properties.remove("BSD Name");
    addPartition(*e.tree, whole1, "", 1, true);
    addPartition(*e.tree, whole1, "disk2s2", 2, true);
    // Two whole media in one subtree: the last one visited wins.
    const int d2 = e.addDisk("pci-bridge@1/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0", tb, "disk3");
    const int part = addPartition(*e.tree, e.tree->node(d2).children.last(), "disk3s2", 2, true, false);
    addMedia(*e.tree, part, "disk9", 50, QString());

    TreeScan s(e.tree, "/dev/disk2s2 8 1 7 12% /Volumes/X\n 8 1 7 12% /Volumes/Y\n");
    const auto& disks = s.scanner.tbArray().at(0)->hddArray;
    ASSERT_EQ(disks.size(), 2);
    EXPECT_EQ(disks[0]->devPath.value_or("<absent>"), "");
    ASSERT_EQ(devPaths(*disks[0]), (QStringList{"", "/dev/disk2s2"}));
    EXPECT_FALSE(disks[0]->bsdPathArray[0]->mountPoint);  // "" matches no line
    EXPECT_EQ(disks[0]->bsdPathArray[1]->mountPoint.value_or(""), "/Volumes/X");
    EXPECT_EQ(disks[1]->devPath.value_or(""), "/dev/disk9");
    EXPECT_EQ(disks[1]->diskSize.value_or(0), 50);
    EXPECT_TRUE(disks[1]->isUnFormated);
    EXPECT_TRUE(disks[1]->bsdPathArray.isEmpty());
}

TEST(VRLScanDevice, ResetArrayReplacesListsAndScanAppends)
{
    Scan s("enclosure-782.json");
    const TBList held = s.scanner.tbArray();
    s.scanner.scanTBDevice();  // without a reset: everything twice
    EXPECT_EQ(s.scanner.tbArray().size(), 2);
    EXPECT_EQ(s.scanner.tbArray()[1]->hddArray.size(), 4);

    for (const char* other : {"USB/1394", "TBOthers", "radade", ""}) {
        s.scanner.resetArray(other);
        EXPECT_EQ(s.scanner.tbArray().size(), 2) << other;
    }
    s.scanner.resetArray("RADade");
    EXPECT_TRUE(s.scanner.tbArray().isEmpty());
    EXPECT_EQ(held.size(), 1);  // the holder keeps the old list
    s.scanner.scanTBDevice();
    s.scanner.resetArray("All");
    EXPECT_TRUE(s.scanner.tbArray().isEmpty());
}

TEST(VRLScanDevice, UnknownCategoryIsLoggedAndFails)
{
    Registry r;
    VRLScanDevice scanner(r);
    LogCapture log;
    RegistryIterator it;
    EXPECT_NE(scanner.scanForDeviceName("usb", it), RegistryStatus::Success);
    EXPECT_EQ(log.count("IOServiceMatching returned a NULL dictionary."), 1);
    EXPECT_EQ(scanner.scanForDeviceName("hdd", it), RegistryStatus::Success);
    EXPECT_EQ(log.lines().size(), 1);
}

TEST(VRLScanDevice, DefaultDiskUsageRunCountsHalfKilobyteBlocks)
{
    // A stand-in df that reports whether it was asked for 512-byte blocks.
    QTemporaryDir dir;
    const QString df = dir.filePath("df");
    QFile f(df);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n"
            "[ \"$POSIXLY_CORRECT\" = 1 ] && b=512 || b=1024\n"
            "echo \"Filesystem $b-blocks Used Available Capacity Mounted on\"\n"
            "echo \"/dev/disk2s2 $b 1 $(($b - 1)) 1% /Volumes/Env Test\"\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);

    OneEnclosure e;
    const int d = e.addDisk("pci-bridge@0/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0", e.switchPath + "/x");
    addPartition(*e.tree, e.tree->node(d).children.last(), "disk2s2", 2, true);
    Registry r;
    r.replaceTree(e.tree);
    VRLScanDevice scanner(r, df);
    scanner.scanTBDevice();
    const auto& b = *scanner.tbArray().at(0)->hddArray.at(0)->bsdPathArray.at(0);
    EXPECT_EQ(b.mountPoint.value_or(""), "/Volumes/Env Test");
    EXPECT_EQ(b.capacitySize.value_or(0), 512);
}

TEST(VRLScanDevice, GeneratedFixtureForTheSandbox)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("sandbox.json");
    QProcess gen;
    gen.start("python3", {TARNWELL_SOURCE_DIR "/tools/make-fixture", "--enclosure", "782:disk94,,disk95,",
                          "--enclosure", "771:disk90,disk91,disk92,disk93", "--chain", "--map", "none", "-o", out});
    if (!gen.waitForStarted())
        GTEST_SKIP() << "no python3";
    ASSERT_TRUE(gen.waitForFinished());
    ASSERT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();

    FixtureRegistry registry(out);
    VRLScanDevice scanner(registry);
    scanner.setDfRunner([] { return QString(); });
    scanner.scanTBDevice();
    ASSERT_EQ(scanner.tbArray().size(), 2);
    QStringList got;
    for (const auto& tb : scanner.tbArray())
        for (const auto& h : tb->hddArray)
            got << QString("%1 %2 %3").arg(tb->depth.value_or(0)).arg(h->devPath.value_or(""), h->slotPath.value_or("-"))
                       + (h->isUnFormated ? " blank" : "");
    EXPECT_EQ(got, (QStringList{"1 /dev/disk94 Slot-A blank", "1 /dev/disk95 Slot-C blank", "2 /dev/disk90 Slot-A blank",
                                "2 /dev/disk91 Slot-B blank", "2 /dev/disk92 Slot-C blank", "2 /dev/disk93 Slot-D blank"}));
}
