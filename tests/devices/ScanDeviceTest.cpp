#include "TreeHelpers.h"

#include "devices/VRLScanDevice.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

// Bays the fixture and sysfs scans show too are not repeated here.
TEST(VRLScanDevice, BayRules)
{
    const std::pair<const char*, const char*> cases[] = {
        {"x/pci-bridge@1/IOPP/pci1b21,612@0/AppleAHCI/PRT1@1/", "Slot-B"},  // port does not matter
        {"x/pci-bridge@4/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0/", "-"},
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
        {"/dev/disk2s2 100 1 99 1% /Volumes/a/Volumes/b c", "/Volumes/b c"},
        {"/dev/sdb1 100 1 99 1% /media/alice/My Disk", "/media/alice/My Disk"},
        {"/dev/sdb1 100 1 99 1% /run/media/bob/Photos 2024", "/run/media/bob/Photos 2024"},
    };
    for (const auto& [line, mount] : cases)
        EXPECT_EQ(VRLScanDevice::mountPointInLine(line).value_or("-"), mount) << line;
}

TEST(VRLScanDevice, Fixtures)
{
    const struct { const char* fixture; const char* df; QStringList picture; } cases[] = {
        // No eSATA (no Thunderbolt path) or internal disk; disk2's EFI part is not
        // open; disk3 has no partition map, disk4 a whole-disk file system; disk5's
        // parts depth first (extended s2 no leaf, its s5 not open), s6 outside the
        // volume roots, s3's df line too short.
        {"enclosure-771.json", "df-771.txt",
         {"65/771 Varnelo|Varnelo Quad TB2 uid=63050394783186945 depth=1 parent=63133960379745024 route=1",
          "  Slot-A /dev/disk2 HDD 4000GB A|SN-0A1B2C|4000787030016",
          "    /dev/disk2s2 /Volumes/Backup Disk|7813363336|6578795446",
          "  Slot-B /dev/disk3 HDD 3000GB|SN-3000B|3000592982016 blank",
          "  Slot-C /dev/disk4 HDD 2000GB|SN-2000C|2000398934016", "  Slot-D /dev/disk5 HDD 1000GB|SN-1000D|1000204886016",
          "    /dev/disk5s1 /Volumes/Photos|781250000|681250000", "    /dev/disk5s6 -|585937500|100",
          "    /dev/disk5s3 /Volumes/Work|-|-"}},
        {"mixed.json", nullptr, {}},  // vendor 65, unknown model
        {"foreign.json", nullptr, {}},
    };
    for (const auto& c : cases) {
        FixtureRegistry registry(registryFixture(c.fixture), FixtureRegistry::Watching::Off);
        VRLScanDevice scanner(registry);
        scanner.setDfRunner([&] {
            QFile f(registryFixture(c.df));
            return c.df && f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        });
        scanner.scanTBDevice();
        EXPECT_EQ(scanPicture(scanner.tbArray()), c.picture) << c.fixture;
    }
}

// Maker switches, disks below entries whose "Thunderbolt Path" names their switch,
// and a df stand-in that tells whether it was asked for 512-byte blocks.
TEST(VRLScanDevice, SwitchesPathsMediaAndDiskUsage)
{
    auto t = std::make_shared<RegistryTree>();
    const QString sw = t->path(addPath(*t, RegistryTree::Root, "TB/IOThunderboltSwitchType3@1", "IOThunderboltSwitch",
                                       {{"Device Vendor ID", qint64(65)}, {"Device Model ID", qint64(771)},
                                        {"Depth", qint64(1)}, {"UID", qint64(5)}}));
    // One without model is left out, one without depth kept; the parent is
    // the nearest UID above, on any entry.
    const int parent = t->add(RegistryTree::Root, "IOService", "P", {{"UID", qint64(11)}});
    t->add(parent, "IOThunderboltSwitch", "NoDepth", {{"Device Vendor ID", qint64(65)}, {"Device Model ID", qint64(567)}});
    t->add(parent, "IOThunderboltSwitch", "NoModel", {{"Device Vendor ID", qint64(65)}, {"Depth", qint64(1)}});
    t->add(parent, "IOThunderboltSwitch", "Deep",
           {{"Device Vendor ID", qint64(65)}, {"Device Model ID", qint64(568)}, {"Depth", qint64(3)}});
    auto disk = [&](const QVariant& tbPath, const QString& bsd, const char* bridge = "pci-bridge@1") {
        const int up = t->add(RegistryTree::Root, "IOPCIDevice", "UP", {});
        if (tbPath.isValid())
            t->node(up).properties.insert("Thunderbolt Path", tbPath);
        const int d = addPath(*t, up,
                              QString(bridge) + "/IOPP/pci1b21,612@0/AppleAHCI/PRT0@0/IOAHCIDevice@0/AppleAHCIDiskDriver",
                              "AppleAHCIDiskDriver", {{"Physical Interconnect Location", "External"}, {"Model", "M"}});
        return addMedia(*t, d, bsd, 100, "GUID_partition_scheme");
    };
    disk(sw + "/IOThunderboltPCIUpAdapter", "disk2");
    disk(sw + "/IOThunderboltPCIUpAdapter/", "disk3");  // trailing slash ignored
    disk(sw + "/a/b", "disk6");                         // a grandchild path
    disk(sw + "/x", "disk7", "pci-bridge@4");           // no bay; nothing enforces one disk per bay either
    // A whole media without BSD name, with a partition without one.
    const int whole = disk(sw + "/x", "disk12", "pci-bridge@0");
    t->node(whole).properties.remove("BSD Name");
    addPartition(*t, whole, "", 1, true);
    addPartition(*t, whole, "disk12s2", 2, true);

    QTemporaryDir dir;
    Registry registry;
    registry.replaceTree(t);
    VRLScanDevice scanner(registry, writeShellScript(dir.path(), "df",
                                                     "[ \"$POSIXLY_CORRECT\" = 1 ] && b=512 || b=1024\n"
                                                     "echo \"Filesystem $b-blocks Used Available Capacity Mounted on\"\n"
                                                     "echo \"/dev/disk12s2 $b 1 $(($b - 1)) 1% /Volumes/Env Test\"\n"
                                                     "echo \" 8 1 7 12% /Volumes/Y\"\n"));  // "" matches no line
    scanner.scanTBDevice();
    EXPECT_EQ(scanPicture(scanner.tbArray()),
              (QStringList{"65/771 -|- uid=5 depth=1 parent=- route=-", "  Slot-B /dev/disk2 M|-|100",
                           "  Slot-B /dev/disk3 M|-|100", "  - /dev/disk7 M|-|100", "  Slot-A  M|-|100", "     -|-|-",
                           "    /dev/disk12s2 /Volumes/Env Test|512|511",
                           "65/567 -|- uid=- depth=- parent=- route=-", "65/568 -|- uid=- depth=3 parent=11 route=-"}));
}
