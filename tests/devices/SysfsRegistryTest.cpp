#include "TreeHelpers.h"
#include "devices/SysfsRegistry.h"
#include "devices/VRLScanDevice.h"
#include "support/LogCapture.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {
const QByteArray kRomUuid = "90ad5500-0100-0100-ffff-ffffffffffff";  // ROM UID 0x000100010055AD90

// A fake sysfs laid out like the real one: routers nested below their NHI
// with links in bus/thunderbolt/devices, hotplug ports named in bus/pci/slots.
struct FakeSysfs {
    QTemporaryDir dir;
    QHash<QString, QString> udev;  // "sda/ID_MODEL_ENC" -> value
    int ata = 0;

    void file(const QString& rel, const QByteArray& content) { writeFile(dir.filePath(rel), content + "\n"); }
    void link(const QString& target, const QString& rel)
    {
        QDir().mkpath(QFileInfo(dir.filePath(rel)).path());
        QFile::link(dir.filePath(target), dir.filePath(rel));
    }
    // A PCI function "vendor:device" of class `cls` at parent/address.
    QString pci(const QString& parent, const QString& address, const QString& id, const char* cls = "060400")
    {
        const QString at = parent + "/" + address;
        file(at + "/vendor", "0x" + id.section(':', 0, 0).toLatin1());
        file(at + "/device", "0x" + id.section(':', 1).toLatin1());
        file(at + "/class", QByteArray("0x") + cls);
        return at;
    }
    // A hotplug port: its slot's address is the bus behind it.
    QString hotplug(const QString& parent, const QString& address, int bus)
    {
        file(QString("bus/pci/slots/%1/address").arg(bus), QString("0000:%1:00").arg(bus, 2, 16, QChar('0')).toLatin1());
        return pci(parent, address, "8086:15ef");
    }
    QString router(const QString& parent, const QString& name, const QString& id, const QByteArray& uuid, bool authorized,
                   const char* type = "thunderbolt_device")
    {
        const QString at = parent + "/" + name;
        file(at + "/uevent", QByteArray("DEVTYPE=") + type);
        file(at + "/vendor", id.section(':', 0, 0).toLatin1());
        file(at + "/device", id.section(':', 1).toLatin1());
        file(at + "/vendor_name", "Varnelo");
        file(at + "/device_name", "Varnelo Quad");
        file(at + "/unique_id", uuid);
        file(at + "/authorized", authorized ? "1" : "0");
        link(at, "bus/thunderbolt/devices/" + name);
        return at;
    }
    // A domain on its NHI, with its host router <d>-0.
    QString domain(const QString& nhi, int d)
    {
        const QString at = nhi + QString("/domain%1").arg(d);
        file(at + "/uevent", "DEVTYPE=thunderbolt_domain");
        link(at, QString("bus/thunderbolt/devices/domain%1").arg(d));
        return router(at, QString("%1-0").arg(d), "0x8086:0x15ef", "0b1c2d3e-4f50-6172-8394-a5b6c7d8e9f0", true);
    }
    // A SATA disk on port `portNo` (from 1) of a controller.
    void disk(const QString& ctl, const QString& sd, int portNo = 1, int partitions = 0)
    {
        ++ata;
        const QString port = ctl + QString("/ata%1").arg(ata);
        file(port + QString("/ata_port/ata%1/port_no").arg(ata), QByteArray::number(portNo));
        const QString scsi = port + QString("/host%1/target%1:0:0/%1:0:0:0").arg(ata);
        file(scsi + "/model", "HDD 4000GB");
        writeFile(dir.filePath(scsi + "/vpd_pg80"), QByteArray("\x00\x80\x00\x08", 4) + " SN-" + sd.toLatin1() + " ");
        const QString block = scsi + "/block/" + sd;
        file(block + "/size", "7814037168");
        file(block + "/dev", "8:" + QByteArray::number(ata * 16));
        for (int p = 1; p <= partitions; ++p) {
            const QString part = block + "/" + sd + QString::number(p);
            file(part + "/partition", QByteArray::number(p));
            file(part + "/size", "409600");
            file(part + "/dev", "8:" + QByteArray::number(ata * 16 + p));
        }
    }
    // An enclosure's PCIe switch behind `port` on bus `bus`: SATA controllers
    // behind bridges 0-3 (0 and 3 with two ports each for the 625 type),
    // and the chain's hotplug port. Returns the chain port.
    QString enclosure(const QString& port, int bus, const QStringList& disks, bool type625 = false)
    {
        auto addr = [](int b, int dev) { return QString("0000:%1:%2.0").arg(b, 2, 16, QChar('0')).arg(dev, 2, 16, QChar('0')); };
        const QString up = pci(port, addr(bus, 0), "8086:15ef");
        for (int i = 0; i < disks.size(); ++i) {
            const int bridge = type625 ? (i / 2) * 3 : i;
            const QString ctl = pci(up + "/" + addr(bus + 1, bridge), addr(bus + 2 + bridge, 0),
                                    type625 ? "1b21:0625" : "1b21:0612", "010601");
            pci(up, addr(bus + 1, bridge), "8086:15ef");
            if (!disks[i].isEmpty())
                disk(ctl, disks[i], type625 ? 1 + i % 2 : 1);
        }
        return hotplug(up, addr(bus + 1, 4), bus + 6);
    }
};

const QString kHost = "devices/pci0000:00";

// The machine of the checks: a host Thunderbolt bridge (NHI, xHCI, hotplug
// ports A and B); a board PCIe switch with an onboard ASMedia controller and
// the internal disk sdz; enclosure 0-1 with sda-sdd on port A; 0-301 behind
// it, not authorized. Returns 0-1's directory and sets the chain port.
QString machine(FakeSysfs& fs, QString* chainPort = nullptr, QString* portB = nullptr)
{
    const QString bridge = fs.pci(fs.pci(kHost, "0000:00:1c.4", "8086:a33c"), "0000:05:00.0", "8086:15ef");
    const QString nhi = fs.pci(fs.pci(bridge, "0000:06:00.0", "8086:15ef"), "0000:07:00.0", "8086:15eb", "088000");
    const QString a = fs.hotplug(bridge, "0000:06:01.0", 0x08);
    fs.pci(fs.pci(bridge, "0000:06:02.0", "8086:15ef"), "0000:3b:00.0", "8086:15ec", "0c0330");
    const QString b = fs.hotplug(bridge, "0000:06:04.0", 0x3c);
    const QString board = fs.pci(fs.pci(kHost, "0000:00:1d.0", "8086:a330"), "0000:3d:00.0", "1b21:1182");
    fs.disk(fs.pci(fs.pci(board, "0000:3e:03.0", "1b21:1182"), "0000:3f:00.0", "1b21:0612", "010601"), "sdz", 1, 2);

    const QString host = fs.domain(nhi, 0);
    const QString e1 = fs.router(host, "0-1", "0x41:0x303", kRomUuid, true);
    fs.router(e1, "0-301", "0x41:0x303", "00020000-0000-0000-ffff-ffffffffffff", false);
    const QString chain = fs.enclosure(a, 0x08, {"sda", "sdb", "sdc", "sdd"});
    if (chainPort)
        *chainPort = chain;
    if (portB)
        *portB = b;
    return e1;
}

QStringList scanOf(SysfsRegistry& registry, const QString& df = QString())
{
    VRLScanDevice scanner(registry);
    scanner.setDfRunner([df] { return df; });
    scanner.scanTBDevice();
    return scanPicture(scanner.tbArray());
}

// Each enclosure as "route uid: bay=disk ...".
QStringList baysOf(SysfsRegistry& registry)
{
    VRLScanDevice scanner(registry);
    scanner.setDfRunner([] { return QString(); });
    scanner.scanTBDevice();
    QStringList out;
    for (const VRLThunderboltInfoPtr& tb : scanner.tbArray()) {
        QString line = QString("%1 uid=%2:").arg(tb->routeSring.value_or(0), 0, 16)
                           .arg(tb->uid ? QString::number(*tb->uid) : "-");
        for (const VRLHddInfoPtr& h : tb->hddArray)
            line += " " + h->slotPath.value_or("-").right(1) + "=" + h->devPath.value_or("-").mid(5);
        out << line;
    }
    return out;
}
}  // namespace

TEST(SysfsRegistry, OnlyTheEnclosuresOwnDisksAreInItsBays)
{
    FakeSysfs fs;
    machine(fs);
    fs.udev.insert("sda/ID_MODEL_ENC", "WDC\\x20WD40EFRX-68N32N0\\x20\\x20\\x20");
    LogCapture log;
    SysfsRegistry registry(fs.dir.path(), QString(),
                           [&](const QString& b, const char* key) { return fs.udev.value(b + "/" + key); });
    EXPECT_FALSE(registry.isMonitoring());  // a fake root gets no udev monitor

    EXPECT_EQ(scanOf(registry),
              (QStringList{"65/771 Varnelo|Varnelo Quad uid=281479277292944 depth=1 parent=- route=1",
                           "  Slot-A /dev/sda WDC WD40EFRX-68N32N0|SN-sda|4000787030016 blank",
                           "  Slot-B /dev/sdb HDD 4000GB|SN-sdb|4000787030016 blank",
                           "  Slot-C /dev/sdc HDD 4000GB|SN-sdc|4000787030016 blank",
                           "  Slot-D /dev/sdd HDD 4000GB|SN-sdd|4000787030016 blank",
                           "65/771 Varnelo|Varnelo Quad uid=512 depth=2 parent=281479277292944 route=769"}));
    registry.rebuild();
    EXPECT_EQ(log.lines(), (QStringList{
        "Thunderbolt enclosure 0-301 (Varnelo Quad) is not authorized; its disks are not listed.",
        "SATA controller 0000:3f:00.0 (1b21:0612) is not inside a Thunderbolt enclosure; its disks are in no bay."}));

    RegistryIterator it;
    registry.IOServiceGetMatchingServices(registry.IOServiceMatching("AppleAHCIDiskDriver"), it);
    QStringList where;
    while (RegistryEntry e = Registry::IOIteratorNext(it))
        where << Registry::IORegistryEntryCreateCFProperty(e, "Physical Interconnect Location").toString();
    EXPECT_EQ(where, (QStringList{"External", "External", "External", "External", "Internal"}));
}

TEST(SysfsRegistry, EnclosuresAreMatchedOnlyThroughTheirOwnRouters)
{
    struct Row {
        const char* fault;
        std::function<void(FakeSysfs&, const QString& e1, const QString& chain, const QString& portB)> change;
        QStringList bays;
    };
    const QString base = "1 uid=281479277292944: A=sda B=sdb C=sdc D=sdd";
    auto chained = [](const char* id) {
        return [id](FakeSysfs& fs, const QString& e1, const QString& chain, const QString&) {
            fs.router(e1, "0-301", id, "00020000-0000-0000-ffff-ffffffffffff", true);
            fs.enclosure(chain, 0x0e, {"sde"});
        };
    };
    const std::vector<Row> rows{
        {"onboard controller, unauthorized second enclosure", nullptr, {base, "301 uid=512:"}},
        {"chained enclosure", chained("0x41:0x303"), {base, "301 uid=512: A=sde"}},
        {"chained router whose PCIe is missing",
         [](FakeSysfs& fs, const QString& e1, const QString&, const QString&) {
             fs.router(e1, "0-301", "0x41:0x303", "00020000-0000-0000-ffff-ffffffffffff", true);
         },
         {base, "301 uid=512:"}},
        {"vendor-65 device of another model in the chain", chained("0x41:0x320"), {base}},
        {"first enclosure with a switch inside",
         [&](FakeSysfs& fs, const QString& e1, const QString& chain, const QString& portB) {
             const QString up = chain.section('/', 0, -2);
             const QString inner = fs.pci(fs.pci(up, "0000:09:05.0", "8086:15ef"), "0000:20:00.0", "1b21:1184");
             fs.pci(fs.pci(inner, "0000:21:03.0", "1b21:1184"), "0000:22:00.0", "1b21:2142", "0c0330");
             chained("0x41:0x303")(fs, e1, chain, portB);
         },
         {base, "301 uid=512: A=sde"}},
        {"XDomain peer claiming an enclosure's ids",
         [](FakeSysfs& fs, const QString& e1, const QString&, const QString&) {
             fs.router(e1.section('/', 0, -2), "0-3", "0x41:0x303", kRomUuid, false, "thunderbolt_xdomain");
         },
         {base, "301 uid=512:"}},
        {"fused UUID",
         [](FakeSysfs& fs, const QString& e1, const QString&, const QString&) {
             fs.file(e1 + "/unique_id", "3a5e0c2f-8b1d-4e6a-9c7b-2d4f6a8b0c1e");
         },
         {"1 uid=-: A=sda B=sdb C=sdc D=sdd", "301 uid=512:"}},
        {"unauthorized enclosure on host port B",
         [](FakeSysfs& fs, const QString& e1, const QString&, const QString&) {
             fs.router(e1.section('/', 0, -2), "0-3", "0x41:0x303", kRomUuid, false);
         },
         {base, "301 uid=512:", "3 uid=281479277292944:"}},
        {"second enclosure on host port B",
         [](FakeSysfs& fs, const QString& e1, const QString&, const QString& portB) {
             fs.router(e1.section('/', 0, -2), "0-3", "0x41:0x30e", "00030000-0000-0000-ffff-ffffffffffff", true);
             fs.enclosure(portB, 0x3c, {"sdf", "", "", "sdg"}, true);
         },
         {base, "301 uid=512:", "3 uid=768: A=sdf D=sdg"}},
        {"second domain earlier in PCI order, integrated controller",
         [](FakeSysfs& fs, const QString&, const QString&, const QString&) {
             const QString nhi = fs.pci(kHost, "0000:00:0d.2", "8086:9a1b", "0c0340");
             const QString port = fs.hotplug(kHost, "0000:00:07.0", 0x50);
             fs.file(port + "/supplier:pci:0000:00:0d.2/sync_state_only", "0");
             fs.router(fs.domain(nhi, 1), "1-1", "0x41:0x30e", "00040000-0000-0000-ffff-ffffffffffff", true);
             fs.enclosure(port, 0x50, {"sdh", "sdi"}, true);
         },
         {base, "301 uid=512:", "1 uid=1024: A=sdh B=sdi"}},
    };
    for (const Row& row : rows) {
        FakeSysfs fs;
        QString chain, portB;
        const QString e1 = machine(fs, &chain, &portB);
        if (row.change)
            row.change(fs, e1, chain, portB);
        SysfsRegistry registry(fs.dir.path(), QString());
        EXPECT_EQ(baysOf(registry), row.bays) << row.fault;
    }
}

TEST(SysfsRegistry, UnpluggingIsSeenAtTheNextQuery)
{
    FakeSysfs fs;
    QString chain;
    machine(fs, &chain);
    SysfsRegistry registry(fs.dir.path(), QString());
    int gone = 0;
    QObject::connect(&registry, &Registry::entriesTerminated, [&](const QList<RegistryEntry>& e) {
        for (const auto& x : e)
            gone += x.node()->name.startsWith("pci1b21,612") ? 1 : 0;
    });
    QDir(fs.dir.filePath(chain.section('/', 0, -2))).removeRecursively();
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
