#include "TreeHelpers.h"
#include "devices/SysfsRegistry.h"
#include "devices/VRLScanDevice.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {
// A fake sysfs under a temporary directory.
struct FakeSysfs {
    QTemporaryDir dir;

    void file(const QString& rel, const QByteArray& content) { writeFile(dir.filePath(rel), content + "\n"); }
    void pci(const QString& rel, const char* vendor, const char* device, const char* cls, bool removable)
    {
        file(rel + "/vendor", vendor);
        file(rel + "/device", device);
        file(rel + "/class", cls);
        file(rel + "/removable", removable ? "removable" : "fixed");
    }
    void router(const QString& name, const char* device, const char* model, const char* uuid)
    {
        const QString d = "bus/thunderbolt/devices/" + name;
        file(d + "/vendor", name == "0-0" ? "0x8086" : "0x41");
        file(d + "/device", device);
        file(d + "/vendor_name", "Varnelo");
        file(d + "/device_name", model);
        file(d + "/unique_id", uuid);
    }
    // A SATA disk at ATA port `ata` of a controller directory, with `partitions`.
    void disk(const QString& controller, int ata, const QString& sd, const char* model, int minor, int partitions)
    {
        const QString scsi = QString("%1/ata%2/host%3/target%3:0:0/%3:0:0:0").arg(controller).arg(ata).arg(ata - 1);
        file(scsi + "/model", model);
        writeFile(dir.filePath(scsi + "/vpd_pg80"), QByteArray("\x00\x80\x00\x0c", 4) + "  SER-" +
                                                     sd.toLatin1().rightJustified(5, '0') + " ");
        const QString block = scsi + "/block/" + sd;
        file(block + "/size", "7814037168");
        file(block + "/removable", "0");
        file(block + "/dev", QString("8:%1").arg(minor).toLatin1());
        for (int p = 1; p <= partitions; ++p) {
            const QString part = block + "/" + sd + QString::number(p);
            file(part + "/partition", QByteArray::number(p));
            file(part + "/size", "409600");
            file(part + "/dev", QString("8:%1").arg(minor + p).toLatin1());
            file(part + "/uevent", p == 1 ? "MAJOR=8\nPARTN=1\nPARTNAME=EFI System Partition" : "PARTN=2");
        }
    }
    // A PCI bridge of the enclosure below `parent`.
    QString bridge(const QString& parent, const QString& name)
    {
        pci(parent + "/" + name, "0x8086", "0x15d3", "0x060400", true);
        return parent + "/" + name;
    }
};

const QString kUpstream = "devices/pci0000:00/0000:00:1c.4/0000:05:00.0";

// One enclosure of the first layout on a host Thunderbolt root port, with
// another behind it when `chained`; an internal AHCI disk too.
void buildMachine(FakeSysfs& fs, bool chained)
{
    const QString host = "devices/pci0000:00";
    fs.pci(host + "/0000:00:00.0", "0x8086", "0x3e34", "0x060000", false);
    fs.pci(host + "/0000:00:1f.2", "0x8086", "0xa352", "0x010601", false);
    fs.disk(host + "/0000:00:1f.2", 1, "sda", "INTERNAL SSD", 0, 2);
    fs.pci(host + "/0000:00:1c.4", "0x8086", "0xa33c", "0x060400", false);
    const QString up = fs.bridge(host + "/0000:00:1c.4", "0000:05:00.0");
    const char* sd[] = {"sdb", "sdc", "sdd", "sde"};
    for (int b = 0; b < 4; ++b) {
        const QString ctl = fs.bridge(up, QString("0000:06:0%1.0").arg(b)) + QString("/0000:%1:00.0").arg(7 + b, 2, 16, QChar('0'));
        fs.pci(ctl, "0x1b21", "0x0612", "0x010601", true);
        fs.disk(ctl, 3 + 2 * b, sd[b], "HDD 4000GB", 16 * (b + 1), b == 0 ? 2 : 0);
    }
    fs.router("0-0", "0x15d2", "Host", "d0010000-0000-0000-0000-000000000001");
    fs.router("0-1", "0x303", "Varnelo Quad TB2", "00e04c00-a1b2-c301-0000-000000000000");
    if (!chained)
        return;
    const QString ctl2 = fs.bridge(fs.bridge(fs.bridge(up, "0000:06:04.0"), "0000:0c:00.0"), "0000:0d:03.0") + "/0000:0e:00.0";
    fs.pci(ctl2, "0x1b21", "0x0612", "0x010601", true);
    fs.disk(ctl2, 20, "sdf", "HDD 8000GB", 80, 0);
    fs.router("0-301", "0x303", "Varnelo Quad TB2", "00e04c00-a1b2-c302-0000-000000000000");
}

QStringList scanOf(SysfsRegistry& registry, const QString& df = QString())
{
    VRLScanDevice scanner(registry);
    scanner.setDfRunner([df] { return df; });
    scanner.scanTBDevice();
    return scanPicture(scanner.tbArray());
}

QStringList find(SysfsRegistry& registry, const QString& cls, const std::function<QString(const RegistryEntry&)>& what)
{
    RegistryIterator it;
    registry.IOServiceGetMatchingServices(registry.IOServiceMatching(cls), it);
    QStringList out;
    while (RegistryEntry e = Registry::IOIteratorNext(it))
        out << what(e);
    return out;
}
}  // namespace

TEST(SysfsRegistry, MapsAnEnclosureAndItsDisks)
{
    FakeSysfs fs;
    buildMachine(fs, false);
    fs.file("mountinfo", "36 25 8:18 / /media/alice/Data rw,relatime shared:1 - ext4 /dev/sdb2 rw");
    SysfsRegistry registry(fs.dir.path(), fs.dir.filePath("mountinfo"));
    EXPECT_FALSE(registry.isMonitoring());  // a fake root gets no udev monitor

    // Only the mounted partition counts as open; the host router is the parent.
    EXPECT_EQ(scanOf(registry, "/dev/sdb2 409600 1 409599 1% /media/alice/Data\n"),
              (QStringList{"65/771 Varnelo|Varnelo Quad TB2 uid=63133960379745025 depth=1 parent=-3458483038843830272 route=1",
                           "  Slot-A /dev/sdb HDD 4000GB|SER-00sdb|4000787030016",
                           "    /dev/sdb2 /media/alice/Data|409600|409599",
                           "  Slot-B /dev/sdc HDD 4000GB|SER-00sdc|4000787030016 blank",
                           "  Slot-C /dev/sdd HDD 4000GB|SER-00sdd|4000787030016 blank",
                           "  Slot-D /dev/sde HDD 4000GB|SER-00sde|4000787030016 blank"}));

    // The registry shape the bay rules and the monitor rely on.
    const QStringList controllers = find(registry, "IOPCIDevice", [](const RegistryEntry& e) {
        return e.node()->name.startsWith("pci1b21") ? Registry::IORegistryEntryGetPath(e) : QString();
    }).filter("pci");
    ASSERT_EQ(controllers.size(), 4);
    EXPECT_EQ(controllers[2],
              "IOService:/pci-host@0000:00/pci-bridge@1c,4/IOPP/pci-bridge@0/IOPP/pci-bridge@2/IOPP/pci1b21,612@0");
    // The internal disk is there, but not external.
    const QStringList locations = find(registry, "AppleAHCIDiskDriver", [](const RegistryEntry& e) {
        return Registry::IORegistryEntryCreateCFProperty(e, "Physical Interconnect Location").toString();
    });
    EXPECT_EQ(locations.count("Internal"), 1);
    EXPECT_EQ(locations.count("External"), 4);
}

TEST(SysfsRegistry, ChainedEnclosuresArePairedByDepth)
{
    FakeSysfs fs;
    buildMachine(fs, true);
    SysfsRegistry registry(fs.dir.path(), fs.dir.filePath("no-mountinfo"));
    EXPECT_EQ(scanOf(registry).filter(QRegularExpression("depth=2|sdf")),
              (QStringList{"65/771 Varnelo|Varnelo Quad TB2 uid=63133960379745026 depth=2 parent=63133960379745025 route=769",
                           "  Slot-D /dev/sdf HDD 8000GB|SER-00sdf|4000787030016 blank"}));
}

TEST(SysfsRegistry, UnpairedChainsGiveNoThunderboltPath)
{
    // A second router with no PCI tunnel (a display, say): which router owns
    // the enclosure's PCI ports is no longer known, so no disk is listed.
    FakeSysfs fs;
    buildMachine(fs, false);
    fs.router("0-3", "0x303", "Varnelo Quad TB2", "00e04c00-a1b2-c303-0000-000000000000");
    SysfsRegistry registry(fs.dir.path(), QString());
    EXPECT_EQ(scanOf(registry).size(), 2);  // two enclosures, no disk lines
}

TEST(SysfsRegistry, UnpluggingIsSeenAtTheNextQuery)
{
    FakeSysfs fs;
    buildMachine(fs, false);
    SysfsRegistry registry(fs.dir.path(), QString());
    int gone = 0;
    QObject::connect(&registry, &Registry::entriesTerminated, [&](const QList<RegistryEntry>& e) {
        for (const auto& x : e)
            gone += x.node()->name.startsWith("pci1b21,612") ? 1 : 0;
    });
    QDir(fs.dir.filePath(kUpstream)).removeRecursively();
    registry.rebuild();
    EXPECT_EQ(gone, 4);
}

TEST(SysfsRegistry, RealSysfsDoesNotBreak)
{
    if (!QFileInfo::exists("/sys/devices"))
        GTEST_SKIP() << "no /sys";
    SysfsRegistry registry;
    EXPECT_GT(registry.tree()->size(), 1);
    for (const QString& line : scanOf(registry).filter(QRegularExpression("^\\S")))
        EXPECT_TRUE(line.startsWith("65/")) << line.toStdString();
}
