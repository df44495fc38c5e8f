#include "TreeHelpers.h"
#include "devices/SysfsRegistry.h"
#include "devices/VRLScanDevice.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

namespace {
// A fake sysfs: write files by path relative to the root.
struct FakeSysfs {
    QTemporaryDir dir;
    QString root() const { return dir.path(); }

    void file(const QString& rel, const QByteArray& content)
    {
        const QString path = dir.filePath(rel);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
    }
    void pci(const QString& rel, const char* vendor, const char* device, const char* cls, bool removable)
    {
        file(rel + "/vendor", QByteArray(vendor) + "\n");
        file(rel + "/device", QByteArray(device) + "\n");
        file(rel + "/class", QByteArray(cls) + "\n");
        file(rel + "/removable", removable ? "removable\n" : "fixed\n");
    }
    void router(const QString& name, const char* vendor, const char* device, const char* model, const char* uuid)
    {
        const QString d = "bus/thunderbolt/devices/" + name;
        file(d + "/vendor", QByteArray(vendor) + "\n");
        file(d + "/device", QByteArray(device) + "\n");
        file(d + "/vendor_name", "Varnelo\n");
        file(d + "/device_name", QByteArray(model) + "\n");
        file(d + "/unique_id", QByteArray(uuid) + "\n");
    }
    // A SATA disk at the given ATA port of a controller directory.
    void disk(const QString& controller, int ata, const QString& sd, const char* model, int major, int minor,
              const QList<int>& partitions)
    {
        const QString scsi = QString("%1/ata%2/host%3/target%3:0:0/%3:0:0:0").arg(controller).arg(ata).arg(ata - 1);
        file(scsi + "/model", QByteArray(model) + "\n");
        QByteArray vpd("\x00\x80\x00\x0c", 4);
        vpd += "  SER-" + sd.toLatin1().rightJustified(5, '0') + " ";
        file(scsi + "/vpd_pg80", vpd);
        const QString block = scsi + "/block/" + sd;
        file(block + "/size", "7814037168\n");
        file(block + "/removable", "0\n");
        file(block + "/dev", QString("%1:%2\n").arg(major).arg(minor).toLatin1());
        for (int p : partitions) {
            const QString part = block + "/" + sd + QString::number(p);
            file(part + "/partition", QByteArray::number(p) + "\n");
            file(part + "/size", "409600\n");
            file(part + "/dev", QString("%1:%2\n").arg(major).arg(minor + p).toLatin1());
            file(part + "/uevent", p == 1 ? "MAJOR=8\nPARTN=1\nPARTNAME=EFI System Partition\n" : "PARTN=2\n");
        }
    }
};

const char* kUpstream = "0x15d3";

// One enclosure of the first layout on a host Thunderbolt root port, with
// another enclosure behind it when `chained`; an internal AHCI disk too.
void buildMachine(FakeSysfs& fs, bool chained)
{
    const QString host = "devices/pci0000:00";
    fs.pci(host + "/0000:00:00.0", "0x8086", "0x3e34", "0x060000", false);
    fs.pci(host + "/0000:00:1f.2", "0x8086", "0xa352", "0x010601", false);
    fs.disk(host + "/0000:00:1f.2", 1, "sda", "INTERNAL SSD", 8, 0, {1, 2});

    const QString rp = host + "/0000:00:1c.4";
    fs.pci(rp, "0x8086", "0xa33c", "0x060400", false);
    const QString up = rp + "/0000:05:00.0";
    fs.pci(up, "0x8086", kUpstream, "0x060400", true);
    const char* sd[] = {"sdb", "sdc", "sdd", "sde"};
    for (int b = 0; b < 4; ++b) {
        const QString down = up + QString("/0000:06:0%1.0").arg(b);
        fs.pci(down, "0x8086", kUpstream, "0x060400", true);
        const QString ctl = down + QString("/0000:%1:00.0").arg(7 + b, 2, 16, QChar('0'));
        fs.pci(ctl, "0x1b21", "0x0612", "0x010601", true);
        fs.disk(ctl, 3 + 2 * b, sd[b], "HDD 4000GB", 8, 16 * (b + 1), b == 0 ? QList<int>{1, 2} : QList<int>{});
    }
    fs.router("0-0", "0x8086", "0x15d2", "Host", "d0010000-0000-0000-0000-000000000001");
    fs.router("0-1", "0x41", "0x303", "Varnelo Quad TB2", "00e04c00-a1b2-c301-0000-000000000000");
    if (!chained)
        return;
    const QString link = up + "/0000:06:04.0";
    fs.pci(link, "0x8086", kUpstream, "0x060400", true);
    const QString up2 = link + "/0000:0c:00.0";
    fs.pci(up2, "0x8086", kUpstream, "0x060400", true);
    const QString down2 = up2 + "/0000:0d:03.0";
    fs.pci(down2, "0x8086", kUpstream, "0x060400", true);
    const QString ctl2 = down2 + "/0000:0e:00.0";
    fs.pci(ctl2, "0x1b21", "0x0612", "0x010601", true);
    fs.disk(ctl2, 20, "sdf", "HDD 8000GB", 8, 80, {});
    fs.router("0-301", "0x41", "0x303", "Varnelo Quad TB2", "00e04c00-a1b2-c302-0000-000000000000");
}

QStringList disksOf(const VRLThunderboltInfo& tb)
{
    QStringList out;
    for (const auto& h : tb.hddArray)
        out << h->devPath.value_or("") + " " + h->slotPath.value_or("-");
    return out;
}
}  // namespace

TEST(SysfsRegistry, MapsAnEnclosureAndItsDisks)
{
    FakeSysfs fs;
    buildMachine(fs, false);
    fs.file("mountinfo", "36 25 8:18 / /media/alice/Data rw,relatime shared:1 - ext4 /dev/sdb2 rw\n");
    SysfsRegistry registry(fs.root(), fs.dir.filePath("mountinfo"));
    EXPECT_FALSE(registry.isMonitoring());  // a fake root gets no udev monitor

    VRLScanDevice scanner(registry);
    scanner.setDfRunner([] { return QString("/dev/sdb2 409600 1 409599 1% /media/alice/Data\n"); });
    scanner.scanTBDevice();
    ASSERT_EQ(scanner.tbArray().size(), 1);
    const VRLThunderboltInfo& tb = *scanner.tbArray()[0];
    EXPECT_EQ(tb.moduleID.value_or(0), 771);
    EXPECT_EQ(tb.vendorID.value_or(0), 65);
    EXPECT_EQ(tb.moduleName.value_or(""), "Varnelo Quad TB2");
    EXPECT_EQ(tb.depth.value_or(0), 1);
    EXPECT_EQ(tb.routeSring.value_or(0), 1);
    EXPECT_EQ(tb.uid.value_or(0), qint64(0x00e04c00a1b2c301));
    EXPECT_EQ(tb.parentTb.value_or(0), qint64(0xd001000000000000));  // the host router
    EXPECT_EQ(disksOf(tb), (QStringList{"/dev/sdb Slot-A", "/dev/sdc Slot-B", "/dev/sdd Slot-C", "/dev/sde Slot-D"}));

    const VRLHddInfo& a = *tb.hddArray[0];
    EXPECT_EQ(a.hddModel.value_or(""), "HDD 4000GB");
    EXPECT_EQ(a.hddSN.value_or(""), "SER-00sdb");
    EXPECT_EQ(a.diskSize.value_or(0), 7814037168LL * 512);
    EXPECT_FALSE(a.isUnFormated);
    // Only the mounted partition counts as open.
    ASSERT_EQ(a.bsdPathArray.size(), 1);
    EXPECT_EQ(a.bsdPathArray[0]->devPath.value_or(""), "/dev/sdb2");
    EXPECT_EQ(a.bsdPathArray[0]->mountPoint.value_or(""), "/media/alice/Data");
    EXPECT_TRUE(tb.hddArray[1]->isUnFormated);

    // Registry shape the bay rules and the monitor rely on.
    auto m = registry.IOServiceMatching("IOPCIDevice");
    RegistryIterator it;
    registry.IOServiceGetMatchingServices(m, it);
    QStringList controllers;
    while (RegistryEntry e = Registry::IOIteratorNext(it))
        if (e.node()->name.startsWith("pci1b21"))
            controllers << Registry::IORegistryEntryGetPath(e);
    ASSERT_EQ(controllers.size(), 4);
    EXPECT_EQ(controllers[2],
              "IOService:/pci-host@0000:00/pci-bridge@1c,4/IOPP/pci-bridge@0/IOPP/pci-bridge@2/IOPP/pci1b21,612@0");

    // The internal disk is there, but not external.
    auto hdd = registry.IOServiceMatching("AppleAHCIDiskDriver");
    registry.IOServiceGetMatchingServices(hdd, it);
    QStringList locations;
    while (RegistryEntry e = Registry::IOIteratorNext(it))
        locations << Registry::IORegistryEntryCreateCFProperty(e, "Physical Interconnect Location").toString();
    EXPECT_EQ(locations.count("Internal"), 1);
    EXPECT_EQ(locations.count("External"), 4);
}

TEST(SysfsRegistry, ChainedEnclosuresArePairedByDepth)
{
    FakeSysfs fs;
    buildMachine(fs, true);
    SysfsRegistry registry(fs.root(), fs.dir.filePath("no-mountinfo"));
    VRLScanDevice scanner(registry);
    scanner.setDfRunner([] { return QString(); });
    scanner.scanTBDevice();
    ASSERT_EQ(scanner.tbArray().size(), 2);
    EXPECT_EQ(scanner.tbArray()[1]->depth.value_or(0), 2);
    EXPECT_EQ(scanner.tbArray()[1]->routeSring.value_or(0), 0x301);
    EXPECT_EQ(scanner.tbArray()[1]->parentTb, scanner.tbArray()[0]->uid);
    EXPECT_EQ(disksOf(*scanner.tbArray()[0]).size(), 4);
    EXPECT_EQ(disksOf(*scanner.tbArray()[1]), QStringList{"/dev/sdf Slot-D"});
}

TEST(SysfsRegistry, UnpairedChainsGiveNoThunderboltPath)
{
    // A second router with no PCI tunnel (a display, say): which router owns
    // the enclosure's PCI ports is no longer known, so no disk is listed.
    FakeSysfs fs;
    buildMachine(fs, false);
    fs.router("0-3", "0x41", "0x303", "Varnelo Quad TB2", "00e04c00-a1b2-c303-0000-000000000000");
    SysfsRegistry registry(fs.root(), QString());
    VRLScanDevice scanner(registry);
    scanner.setDfRunner([] { return QString(); });
    scanner.scanTBDevice();
    ASSERT_EQ(scanner.tbArray().size(), 2);
    EXPECT_TRUE(scanner.tbArray()[0]->hddArray.isEmpty());
    EXPECT_TRUE(scanner.tbArray()[1]->hddArray.isEmpty());
}

TEST(SysfsRegistry, UnpluggingIsSeenAtTheNextQuery)
{
    FakeSysfs fs;
    buildMachine(fs, false);
    SysfsRegistry registry(fs.root(), QString());
    int gone = 0;
    QObject::connect(&registry, &Registry::entriesTerminated, [&](const QList<RegistryEntry>& e) {
        for (const auto& x : e)
            gone += x.node()->name.startsWith("pci1b21,612") ? 1 : 0;
    });
    QDir(fs.dir.filePath("devices/pci0000:00/0000:00:1c.4/0000:05:00.0")).removeRecursively();
    registry.rebuild();
    EXPECT_EQ(gone, 4);
}

TEST(SysfsRegistry, RealSysfsDoesNotBreak)
{
    if (!QFileInfo::exists("/sys/devices"))
        GTEST_SKIP() << "no /sys";
    QElapsedTimer timer;
    timer.start();
    SysfsRegistry registry;
    const qint64 ms = timer.elapsed();
    VRLScanDevice scanner(registry);
    scanner.setDfRunner([] { return QString(); });
    scanner.scanTBDevice();
    EXPECT_GT(registry.tree()->size(), 1);
    RecordProperty("build_ms", int(ms));
    for (const auto& tb : scanner.tbArray())
        EXPECT_EQ(tb->vendorID.value_or(0), 65);
}
