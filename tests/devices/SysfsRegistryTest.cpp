#include "TreeHelpers.h"
#include "devices/SysfsRegistry.h"
#include "devices/VRLScanDevice.h"
#include "support/LogCapture.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

// ROM UID 0x000100010055AD90 as the kernel writes it.
const QByteArray kRomUuid = "90ad5500-0100-0100-ffff-ffffffffffff";
const QString kHost = "devices/pci0000:00";

static QString address(int bus, int device)
{
    return QString("0000:%1:%2.0").arg(bus, 2, 16, QChar('0')).arg(device, 2, 16, QChar('0'));
}

// A sysfs laid out like the real one: routers nested below their NHI and
// linked from bus/thunderbolt/devices, hotplug ports named in bus/pci/slots.
struct FakeSysfs {
    QTemporaryDir dir;
    int ata = 0;
    QString hostRouter, e1, chain, portB;

    void file(const QString& rel, const QByteArray& content) { writeFile(dir.filePath(rel), content + "\n"); }
    QString pci(const QString& parent, const QString& at, const QString& id, const char* cls = "060400")
    {
        file(parent + "/" + at + "/vendor", "0x" + id.section(':', 0, 0).toLatin1());
        file(parent + "/" + at + "/device", "0x" + id.section(':', 1).toLatin1());
        file(parent + "/" + at + "/class", QByteArray("0x") + cls);
        return parent + "/" + at;
    }
    QString hotplug(const QString& parent, const QString& at, int bus)  // the slot names the bus behind it
    {
        file(QString("bus/pci/slots/%1/address").arg(bus), address(bus, 0).left(10).toLatin1());
        return pci(parent, at, "8086:15ef");
    }
    QString busLink(const QString& at, const QByteArray& type)
    {
        file(at + "/uevent", "DEVTYPE=" + type);
        QDir().mkpath(dir.filePath("bus/thunderbolt/devices"));
        QFile::link(dir.filePath(at), dir.filePath("bus/thunderbolt/devices/" + at.section('/', -1)));
        return at;
    }
    QString router(const QString& parent, const QString& name, const QByteArray& id, const QByteArray& uuid,
                   bool authorized, const QByteArray& type = "thunderbolt_device")
    {
        const QString at = busLink(parent + "/" + name, type);
        const char* names[] = {"vendor", "device", "vendor_name", "device_name", "unique_id", "authorized"};
        const QByteArray values[] = {id.split(':')[0], id.split(':')[1], "Varnelo", "Varnelo Quad", uuid,
                                     authorized ? "1" : "0"};
        for (int i = 0; i < 6; ++i)
            file(at + "/" + names[i], values[i]);
        return at;
    }
    QString domain(const QString& nhi, int d)  // with its host router
    {
        const QString at = busLink(nhi + QString("/domain%1").arg(d), "thunderbolt_domain");
        return router(at, QString("%1-0").arg(d), "0x8086:0x15ef", "0b1c2d3e-4f50-6172-8394-a5b6c7d8e9f0", true);
    }
    void disk(const QString& ctl, const QString& sd, int portNo = 1, int partitions = 0)
    {
        const QString port = ctl + QString("/ata%1").arg(++ata);
        file(port + QString("/ata_port/ata%1/port_no").arg(ata), QByteArray::number(portNo));
        const QString scsi = port + QString("/host%1/target%1:0:0/%1:0:0:0").arg(ata);
        file(scsi + "/model", "HDD 4000GB");
        writeFile(dir.filePath(scsi + "/vpd_pg80"), QByteArray("\x00\x80\x00\x08", 4) + " SN-" + sd.toLatin1() + " ");
        file(scsi + "/block/" + sd + "/size", "7814037168");
        for (int p = 1; p <= partitions; ++p)
            file(scsi + "/block/" + sd + "/" + sd + QString::number(p) + "/partition", QByteArray::number(p));
    }
    // An enclosure's PCIe switch on `bus` behind `port`: SATA controllers
    // behind bridges 0-3 (0 and 3, two ports each, for the 625 type) and
    // the chain's hotplug port, which it returns.
    QString enclosure(const QString& port, int bus, const QStringList& disks, bool type625 = false)
    {
        const QString up = pci(port, address(bus, 0), "8086:15ef");
        for (int i = 0; i < disks.size(); ++i) {
            const int bridge = type625 ? (i / 2) * 3 : i;
            const QString ctl = pci(pci(up, address(bus + 1, bridge), "8086:15ef"), address(bus + 2 + bridge, 0),
                                    type625 ? "1b21:0625" : "1b21:0612", "010601");
            if (!disks[i].isEmpty())
                disk(ctl, disks[i], type625 ? 1 + i % 2 : 1);
        }
        return hotplug(up, address(bus + 1, 4), bus + 6);
    }

    // A host Thunderbolt bridge (NHI, xHCI, hotplug ports A, B); a board switch with
    // internal disk sdz; enclosure 0-1 with sda-sdd on port A; 0-301, not authorized.
    FakeSysfs()
    {
        const QString bridge = pci(pci(kHost, "0000:00:1c.4", "8086:a33c"), "0000:05:00.0", "8086:15ef");
        const QString nhi = pci(pci(bridge, "0000:06:00.0", "8086:15ef"), "0000:07:00.0", "8086:15eb", "088000");
        const QString a = hotplug(bridge, "0000:06:01.0", 0x08);
        pci(pci(bridge, "0000:06:02.0", "8086:15ef"), "0000:3b:00.0", "8086:15ec", "0c0330");
        portB = hotplug(bridge, "0000:06:04.0", 0x3c);
        const QString board = pci(pci(kHost, "0000:00:1d.0", "8086:a330"), "0000:3d:00.0", "1b21:1182");
        disk(pci(pci(board, "0000:3e:03.0", "1b21:1182"), "0000:3f:00.0", "1b21:0612", "010601"), "sdz", 1, 2);
        hostRouter = domain(nhi, 0);
        e1 = router(hostRouter, "0-1", "0x41:0x303", kRomUuid, true);
        router(e1, "0-301", "0x41:0x303", "00020000-0000-0000-ffff-ffffffffffff", false);
        chain = enclosure(a, 0x08, {"sda", "sdb", "sdc", "sdd"});
    }
};

static TBList scan(SysfsRegistry& registry)
{
    VRLScanDevice scanner(registry);
    scanner.setDfRunner([] { return QString(); });
    scanner.scanTBDevice();
    return scanner.tbArray();
}

// Each enclosure as "route uid=UID: bay=disk ...".
static QStringList bays(const TBList& enclosures)
{
    QStringList out;
    for (const VRLThunderboltInfoPtr& tb : enclosures) {
        out << QString("%1 uid=%2:").arg(*tb->routeSring, 0, 16).arg(tb->uid ? QString::number(*tb->uid) : "-");
        for (const VRLHddInfoPtr& h : tb->hddArray)
            out.last() += " " + h->slotPath.value_or("-").right(1) + "=" + h->devPath.value_or("-").mid(5);
    }
    return out;
}

TEST(SysfsRegistry, OnlyTheEnclosuresOwnDisksAreInItsBaysAndUnpluggingIsSeen)
{
    FakeSysfs fs;
    LogCapture log;
    SysfsRegistry registry(fs.dir.path(), QString(), [](const QString& b, const char* key) {
        return b + "/" + key == "sda/ID_MODEL_ENC" ? "WDC\\x20WD40EFRX-68N32N0\\x20\\x20" : QString();
    });
    EXPECT_FALSE(registry.isMonitoring());  // a fake root gets no udev monitor
    EXPECT_EQ(scanPicture(scan(registry)),
              (QStringList{"65/771 Varnelo|Varnelo Quad uid=281479277292944 depth=1 parent=- route=1",
                           "  Slot-A /dev/sda WDC WD40EFRX-68N32N0|SN-sda|4000787030016 blank",
                           "  Slot-B /dev/sdb HDD 4000GB|SN-sdb|4000787030016 blank",
                           "  Slot-C /dev/sdc HDD 4000GB|SN-sdc|4000787030016 blank",
                           "  Slot-D /dev/sdd HDD 4000GB|SN-sdd|4000787030016 blank",
                           "65/771 Varnelo|Varnelo Quad uid=512 depth=2 parent=281479277292944 route=769"}));
    int gone = 0;
    QObject::connect(&registry, &Registry::entriesTerminated, [&](const QList<RegistryEntry>& e) {
        gone += std::count_if(e.begin(), e.end(), [](auto& x) { return x.node()->name.startsWith("pci1b21,612"); });
    });
    QDir(fs.dir.filePath(fs.chain.section('/', 0, -2))).removeRecursively();
    registry.rebuild();
    EXPECT_EQ(gone, 4);
    EXPECT_EQ(log.lines(), (QStringList{
        "Thunderbolt enclosure 0-301 (Varnelo Quad) is not authorized; its disks are not listed.",
        "SATA controller 0000:3f:00.0 (1b21:0612) is not inside a Thunderbolt enclosure; its disks are in no bay.",
        "Thunderbolt enclosure 0-1 (Varnelo Quad) cannot be matched with its PCIe devices; its disks are not listed."}));
}

TEST(SysfsRegistry, EnclosuresAreMatchedOnlyThroughTheirOwnRouters)
{
    auto chained = [](const QByteArray& id) {
        return [id](FakeSysfs& fs) {
            fs.router(fs.e1, "0-301", id, "00020000-0000-0000-ffff-ffffffffffff", true);
            fs.enclosure(fs.chain, 0x0e, {"sde"});
        };
    };
    const QString first = "1 uid=281479277292944: A=sda B=sdb C=sdc D=sdd";
    const struct { const char* fault; std::function<void(FakeSysfs&)> change; QStringList bays; } rows[] = {
        {"chained enclosure", chained("0x41:0x303"), {first, "301 uid=512: A=sde"}},
        {"vendor-65 device of another model in the chain", chained("0x41:0x320"), {first}},
        {"first enclosure with a switch inside",
         [&](FakeSysfs& fs) {
             const QString up = fs.chain.section('/', 0, -2);
             const QString inner = fs.pci(fs.pci(up, "0000:09:05.0", "8086:15ef"), "0000:20:00.0", "1b21:1184");
             fs.pci(fs.pci(inner, "0000:21:03.0", "1b21:1184"), "0000:22:00.0", "1b21:2142", "0c0330");
             chained("0x41:0x303")(fs);
         },
         {first, "301 uid=512: A=sde"}},
        {"XDomain peer claiming an enclosure's ids",
         [](FakeSysfs& fs) { fs.router(fs.hostRouter, "0-3", "0x41:0x303", kRomUuid, false, "thunderbolt_xdomain"); },
         {first, "301 uid=512:"}},
        {"fused UUID", [](FakeSysfs& fs) { fs.file(fs.e1 + "/unique_id", "3a5e0c2f-8b1d-4e6a-9c7b-2d4f6a8b0c1e"); },
         {"1 uid=-: A=sda B=sdb C=sdc D=sdd", "301 uid=512:"}},
        {"second enclosure on host port B",
         [](FakeSysfs& fs) {
             fs.router(fs.hostRouter, "0-3", "0x41:0x30e", "00030000-0000-0000-ffff-ffffffffffff", true);
             fs.enclosure(fs.portB, 0x3c, {"sdf", "", "", "sdg"}, true);
         },
         {first, "301 uid=512:", "3 uid=768: A=sdf D=sdg"}},
        {"second domain earlier in PCI order, integrated controller",
         [](FakeSysfs& fs) {
             const QString nhi = fs.pci(kHost, "0000:00:0d.2", "8086:9a1b", "0c0340");
             const QString port = fs.hotplug(kHost, "0000:00:07.0", 0x50);
             fs.file(port + "/supplier:pci:0000:00:0d.2/sync_state_only", "0");
             fs.router(fs.domain(nhi, 1), "1-1", "0x41:0x30e", "00040000-0000-0000-ffff-ffffffffffff", true);
             fs.enclosure(port, 0x50, {"sdh", "sdi"}, true);
         },
         {first, "301 uid=512:", "1 uid=1024: A=sdh B=sdi"}},
    };
    for (const auto& row : rows) {
        FakeSysfs fs;
        row.change(fs);
        SysfsRegistry registry(fs.dir.path(), QString());
        EXPECT_EQ(bays(scan(registry)), row.bays) << row.fault;
    }
}
