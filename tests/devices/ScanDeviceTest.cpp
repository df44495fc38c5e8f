#include "TreeHelpers.h"

#include "devices/VRLScanDevice.h"
#include "support/LogCapture.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {
// Scans a fixture, with a canned disk-usage listing.
QStringList scanOf(const QString& fixture, const QString& df = QString())
{
    FixtureRegistry registry(QFileInfo(fixture).isAbsolute() ? fixture : registryFixture(fixture));
    VRLScanDevice scanner(registry);
    scanner.setDfRunner([df] {
        QFile f(registryFixture(df));
        return !df.isEmpty() && f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    });
    scanner.scanTBDevice();
    return scanPicture(scanner.tbArray());
}

// The same for a tree built in the test.
QStringList scanOf(RegistryTreePtr tree, const QString& df = QString())
{
    Registry registry;
    registry.replaceTree(std::move(tree));
    VRLScanDevice scanner(registry);
    scanner.setDfRunner([df] { return df; });
    scanner.scanTBDevice();
    return scanPicture(scanner.tbArray());
}

// A maker switch, and disks below `pciPath` whose upstream entry carries
// "Thunderbolt Path" `tbPath`.
struct OneEnclosure {
    std::shared_ptr<RegistryTree> tree = std::make_shared<RegistryTree>();
    QString switchPath;

    explicit OneEnclosure(qint64 model = 771)
    {
        const int sw = addPath(*tree, RegistryTree::Root, "TB/IOThunderboltSwitchType3@1", "IOThunderboltSwitch",
                               {{"Device Vendor ID", qint64(65)}, {"Device Model ID", model}, {"Depth", qint64(1)},
                                {"UID", qint64(5)}});
        switchPath = tree->path(sw);
    }
    // Returns the whole-disk media.
    int addDisk(const QString& pciPath, const QVariant& tbPath, const QString& bsd)
    {
        const int up = tree->add(RegistryTree::Root, "IOPCIDevice", "UP", {});
        if (tbPath.isValid())
            tree->node(up).properties.insert("Thunderbolt Path", tbPath);
        const int d = addPath(*tree, up, pciPath + "/IOAHCIDevice@0/AppleAHCIDiskDriver", "AppleAHCIDiskDriver",
                              {{"Physical Interconnect Location", "External"}, {"Model", "M"}});
        return addMedia(*tree, d, bsd, 100, "GUID_partition_scheme");
    }
};
const QString kBay = QStringLiteral("pci-bridge@1/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0");
}  // namespace

TEST(VRLScanDevice, BayRules)
{
    const std::pair<const char*, const char*> cases[] = {
        {"x/pci-bridge@0/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0/", "Slot-A"},
        {"x/pci-bridge@1/IOPP/pci1b21,612@0/AppleAHCI/PRT1@1/", "Slot-B"},  // port does not matter
        {"x/pci-bridge@2/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0/", "Slot-C"},
        {"x/pci-bridge@3/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0/", "Slot-D"},
        {"x/pci-bridge@4/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0/", "-"},
        {"x/pci-bridge@0/IOPP/pci1b21,625@0/AppleAHCI/PRT0@0/", "Slot-A"},
        {"x/pci-bridge@0/IOPP/pci1b21,625@0/AppleAHCI/PRT1@1/", "Slot-B"},
        {"x/pci-bridge@3/IOPP/pci1b21,625@0/AppleAHCI/PRT0@0/", "Slot-C"},
        {"x/pci-bridge@3/IOPP/pci1b21,625@0/AppleAHCI/PRT1@1/", "Slot-D"},
        {"x/pci-bridge@2/IOPP/pci1b21,625@0/AppleAHCI/PRT0@0/", "-"},
        {"x/pci-bridge@0/IOPP/pci1b21,625@0/AppleAHCI/PRT2@2/", "-"},
        {"x/pci-bridge@0/IOPP/pci1b21,625@0/AppleAHCI/PRT0@0", "-"},  // no slash after the port
        // The first controller type decides alone, even when the second is named too.
        {"x/pci-bridge@5/IOPP/pci1b21,612@0/y/pci-bridge@0/IOPP/pci1b21,625@0/PRT0@0/", "-"},
        {"x/pci-bridge@0/IOPP/PCI1B21,612@0/", "-"},  // case-sensitive
        {"x/pci-bridge@0/IOPP/pci8086,2922@0/", "-"},
    };
    for (const auto& [path, bay] : cases)
        EXPECT_EQ(VRLScanDevice::slotForPath(path).value_or("-"), bay) << path;
}

TEST(VRLScanDevice, MountPointFromTheLastVolumeRoot)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/dev/disk2s2 100 1 99 1% /Volumes/Backup Disk", "/Volumes/Backup Disk"},
        {"/dev/disk2s2 100 1 99 1% /Volumes/a/Volumes/b c", "/Volumes/b c"},
        {"/dev/sdb1 100 1 99 1% /media/alice/My Disk", "/media/alice/My Disk"},
        {"/dev/sdb1 100 1 99 1% /run/media/bob/Photos 2024", "/run/media/bob/Photos 2024"},
        {"/dev/disk0s2 100 1 99 1% /", "-"},
        {"/dev/disk0s2 100 1 99 1% /mnt/data", "-"},
    };
    for (const auto& [line, mount] : cases)
        EXPECT_EQ(VRLScanDevice::mountPointInLine(line).value_or("-"), mount) << line;
}

TEST(VRLScanDevice, Fixtures)
{
    const QString uid771 = "uid=63050394783186945 depth=1 parent=63133960379745024 route=1";
    const struct {
        const char* fixture;
        const char* df;
        QStringList picture;
    } cases[] = {
        // The eSATA disk (no Thunderbolt path) and the internal one are left
        // out; disk2's EFI partition is not open; disk3 has no partition map;
        // disk4 holds a file system on the whole disk; disk5's partitions come
        // depth first (the extended s2 is no leaf, its logical s5 is not open),
        // s6 is mounted outside the volume roots, s3's df line is too short.
        {"enclosure-771.json", "df-771.txt",
         {"65/771 Varnelo|Varnelo Quad TB2 " + uid771,
          "  Slot-A /dev/disk2 HDD 4000GB A|SN-0A1B2C|4000787030016",
          "    /dev/disk2s2 /Volumes/Backup Disk|7813363336|6578795446",
          "  Slot-B /dev/disk3 HDD 3000GB|SN-3000B|3000592982016 blank",
          "  Slot-C /dev/disk4 HDD 2000GB|SN-2000C|2000398934016", "  Slot-D /dev/disk5 HDD 1000GB|SN-1000D|1000204886016",
          "    /dev/disk5s1 /Volumes/Photos|781250000|681250000", "    /dev/disk5s6 -|585937500|100",
          "    /dev/disk5s3 /Volumes/Work|-|-"}},
        {"enclosure-782.json", nullptr,
         {"65/782 Varnelo|Varnelo Quad TB3 uid=63050394783187201 depth=1 parent=63133960379745024 route=1",
          "  Slot-A /dev/disk2 HDD 4000GB|SN-DISK2|8001563222016", "    /dev/disk2s2 -|-|-",
          "  Slot-B /dev/disk3 HDD 4000GB|SN-DISK3|8001563222016", "    /dev/disk3s2 -|-|-",
          "  Slot-C /dev/disk4 HDD 4000GB|SN-DISK4|8001563222016", "    /dev/disk4s2 -|-|-",
          "  Slot-D /dev/disk5 HDD 4000GB|SN-DISK5|8001563222016", "    /dev/disk5s2 -|-|-"}},
        // Two of the same model: depth, parent and route tell them apart.
        {"chain.json", nullptr,
         {"65/771 Varnelo|Varnelo Quad TB2 uid=63050394783191041 depth=1 parent=63133960379745024 route=1",
          "  Slot-A /dev/disk2 HDD 4000GB|SN-DISK2|4000787030016 blank",
          "  Slot-B /dev/disk3 HDD 4000GB|SN-DISK3|4000787030016 blank",
          "65/771 Varnelo|Varnelo Quad TB2 uid=63050394783191297 depth=2 parent=63050394783191041 route=769",
          "  Slot-C /dev/disk4 HDD 4000GB|SN-DISK4|4000787030016 blank",
          "  Slot-D /dev/disk5 HDD 4000GB|SN-DISK5|4000787030016 blank"}},
        {"mixed.json", nullptr, {}},  // vendor 65, unknown model
        {"none.json", nullptr, {}},
        {"foreign.json", nullptr, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scanOf(c.fixture, c.df), c.picture) << c.fixture;
}

TEST(VRLScanDevice, SwitchWithoutDepthOrModel)
{
    auto t = std::make_shared<RegistryTree>();
    const int parent = t->add(RegistryTree::Root, "IOService", "P", {{"UID", qint64(11)}});
    t->add(parent, "IOThunderboltSwitch", "NoDepth", {{"Device Vendor ID", qint64(65)}, {"Device Model ID", qint64(567)}});
    t->add(parent, "IOThunderboltSwitch", "NoModel", {{"Device Vendor ID", qint64(65)}, {"Depth", qint64(1)}});
    t->add(parent, "IOThunderboltSwitch", "Deep",
           {{"Device Vendor ID", qint64(65)}, {"Device Model ID", qint64(568)}, {"Depth", qint64(3)}});
    // The parent is the nearest UID above, on any entry.
    EXPECT_EQ(scanOf(t), (QStringList{"65/567 -|- uid=- depth=- parent=- route=-",
                                      "65/568 -|- uid=- depth=3 parent=11 route=-"}));
}

TEST(VRLScanDevice, ThunderboltPathDecidesTheEnclosure)
{
    OneEnclosure e;
    e.addDisk(kBay, e.switchPath + "/IOThunderboltPCIUpAdapter", "disk2");
    e.addDisk(kBay, e.switchPath + "/IOThunderboltPCIUpAdapter/", "disk3");  // trailing slash ignored
    e.addDisk(kBay, "IOThunderboltPCIUpAdapter", "disk4");                   // no slash: empty parent
    e.addDisk(kBay, QVariant(), "disk5");                                    // no Thunderbolt path
    e.addDisk(kBay, e.switchPath + "/a/b", "disk6");                          // a grandchild path
    e.addDisk("pci-bridge@4/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0", e.switchPath + "/x", "disk7");  // no bay
    // Nothing enforces one disk per bay.
    EXPECT_EQ(scanOf(e.tree), (QStringList{"65/771 -|- uid=5 depth=1 parent=- route=-", "  Slot-B /dev/disk2 M|-|100",
                                           "  Slot-B /dev/disk3 M|-|100", "  - /dev/disk7 M|-|100"}));
}

TEST(VRLScanDevice, MediaDetails)
{
    OneEnclosure e;
    const QString tb = e.switchPath + "/x";
    // A whole media without BSD name, with a partition without one.
    const int whole = e.addDisk("pci-bridge@0/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0", tb, "disk2");
    e.tree->node(whole).properties.remove("BSD Name");
    addPartition(*e.tree, whole, "", 1, true);
    addPartition(*e.tree, whole, "disk2s2", 2, true);
    // Two whole media in one subtree: the last one visited wins.
    const int part = addPartition(*e.tree, e.addDisk(kBay, tb, "disk3"), "disk3s2", 2, true, false);
    addMedia(*e.tree, part, "disk9", 50, QString());

    // "" matches no df line.
    EXPECT_EQ(scanOf(e.tree, "/dev/disk2s2 8 1 7 12% /Volumes/X\n 8 1 7 12% /Volumes/Y\n"),
              (QStringList{"65/771 -|- uid=5 depth=1 parent=- route=-", "  Slot-A  M|-|100", "     -|-|-",
                           "    /dev/disk2s2 /Volumes/X|8|7", "  Slot-B /dev/disk9 M|-|50 blank"}));
}

TEST(VRLScanDevice, DefaultDiskUsageRunCountsHalfKilobyteBlocks)
{
    // A stand-in df that reports whether it was asked for 512-byte blocks.
    QTemporaryDir dir;
    const QString df = writeShellScript(dir.path(), "df",
                                        "[ \"$POSIXLY_CORRECT\" = 1 ] && b=512 || b=1024\n"
                                        "echo \"Filesystem $b-blocks Used Available Capacity Mounted on\"\n"
                                        "echo \"/dev/disk2s2 $b 1 $(($b - 1)) 1% /Volumes/Env Test\"\n");
    OneEnclosure e;
    addPartition(*e.tree, e.addDisk(kBay, e.switchPath + "/x", "disk2"), "disk2s2", 2, true);
    Registry r;
    r.replaceTree(e.tree);
    VRLScanDevice scanner(r, df);
    scanner.scanTBDevice();
    EXPECT_EQ(scanPicture(scanner.tbArray()).last(), "    /dev/disk2s2 /Volumes/Env Test|512|511");
}
