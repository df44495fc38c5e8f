#pragma once
#include "devices/Registry.h"

#include <QSet>
#include <QTimer>

#include <functional>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// The Linux device tree from sysfs, in the registry's own terms, so that the
// enclosure scan, the bay rules and the hot-plug filter run unchanged.
//
// Mapping (R = sysfs root, "/sys" normally):
//
//  Thunderbolt. Each router R/bus/thunderbolt/devices/<d>-<route> (<route>
//  in hex; "DEVTYPE=thunderbolt_device" in its uevent, so XDomain peers,
//  other computers on the cable, are left out) becomes an
//  "IOThunderboltSwitch" entry named "IOThunderboltSwitch" at location
//  <route>, below the entry "IOThunderboltController" "domain<d>" (a root
//  child) and nested by route (the router one hop nearer the host is the
//  parent). Properties:
//    "Device Vendor ID"   the "vendor" file (hex)      "Device Vendor Name"  "vendor_name"
//    "Device Model ID"    the "device" file (hex)      "Device Model Name"   "device_name"
//    "UID"   the ROM UID in "unique_id": the kernel writes it as two
//            little-endian 32-bit words then eight 0xff bytes, so ROM UID
//            0x000100010055AD90 reads "90ad5500-0100-0100-ffff-ffffffffffff".
//            Absent for any other UUID (fused into newer routers, or made up).
//    "Route String"  <route>        "Depth"  the number of bytes of <route>
//
//  PCI. Each host bridge R/devices/pci<dddd:bb> is an "IOPCIBridge"
//  "pci-host@<dddd:bb>" child of the root. Each PCI function below it is an
//  "IOPCIDevice" at location <device number in hex>[,<function>] named
//    "pci-bridge" for a PCI-to-PCI bridge (class 0x0604xx), with one child
//                 "IOPCI2PCIBridge" "IOPP" that holds the functions behind it;
//    "pci<vendor>,<device>" otherwise (lower-case hex, no leading zeros).
//  Properties: "vendor-id", "device-id", "class-code" (numbers).
//
//  Thunderbolt Path. sysfs does not say which router a tunnelled PCIe
//  device belongs to, so it is proved from the topology, never guessed from
//  what a device looks like (boards carry the same SATA controllers):
//   - A domain's host interface is the parent of domain<d> (its NHI). Its
//     host ports are the hotplug bridges (a slot in R/bus/pci/slots) beside
//     the NHI on the host's Thunderbolt bridge, or linked to the NHI
//     ("supplier:pci:<NHI>", integrated controllers). The host ports with a
//     device, in PCI order, go with the domain's authorized routers at
//     depth 1, in route order, only when they are as many.
//   - The first function behind such a port is the router's PCIe upstream
//     port. The next router of a chain (its only child) has its upstream
//     port behind the one hotplug bridge of that switch that has a device.
//   - Only authorized routers of the enclosure models (vendor 65, models
//     771, 774, 782, 567, 568) are matched; the first router that is not
//     one, or whose upstream port is not found, ends its chain; the routers
//     before it keep theirs.
//  A matched enclosure's own functions that are no bridge (those below its
//  upstream port short of a hotplug bridge) carry "Thunderbolt Path" = the
//  router's path + "/IOThunderboltPCIUpAdapter"; bridges never do, so no
//  disk further down a chain inherits it. Enclosures left unmatched and
//  controllers of the enclosures' type (1b21:0612, 1b21:0625) outside any
//  enclosure are logged, each once per registry.
//
//  SATA. A function of class 0x0106xx gets a child "AppleAHCI"; its ports
//  R/.../ata<N> become "AppleAHCIPort" "PRT<p>@<p>", p being
//  ata<N>/ata_port/ata<N>/port_no less one. Each SCSI device below a port
//  that has a block device becomes
//    "IOAHCIDevice@0" / "AppleAHCIDiskDriver" with
//        "Model" (udev's ID_MODEL_ENC decoded, else the "model" file, which
//        keeps 16 characters), "Serial Number" (the "vpd_pg80" page, or
//        udev's ID_SERIAL_SHORT), "Physical Interconnect Location" "External"
//        when the controller is behind Thunderbolt (below a host port, a
//        "removable" PCI function, or with a Thunderbolt Path) or the disk is
//        removable, "Internal" otherwise;
//    / "IOAHCIBlockStorageDevice" / "IOBlockStorageDriver"
//    / "IOMedia" "<Model> Media": the whole disk, "BSD Name" sdX, "Whole" true,
//        "Leaf" (no partitions), "Open", "Size" (bytes), "Content": the
//        partition map ("GUID_partition_scheme", "FDisk_partition_scheme",
//        "partition_scheme" when sysfs alone cannot tell), else the file
//        system type from udev, else "";
//    / "IOPartitionScheme" "IOGUIDPartitionScheme" (or "IOFDiskPartitionScheme",
//        "IOPartitionScheme")
//    / "IOMedia" per partition, named by its PARTNAME or "Untitled <n>", at
//        location <n>: "BSD Name" sdXn, "Whole" false, "Leaf" true, "Size",
//        "Content" (udev's partition type, else ""), "Partition ID" n, and
//        "Open" when the partition is mounted (per the mountinfo file) or
//        held by another block device.
//  Disks behind other buses (USB, NVMe, virtio) are not listed.
//
// The tree is read again before every matching query and, on the real
// /sys, when udev reports a change on the "pci", "block" or "thunderbolt"
// subsystems (block changes matter because a disk's block device appears
// seconds after its controller). Each new tree is diffed into publish and
// terminate notifications (Registry::replaceTree).
class SysfsRegistry : public Registry {
    Q_OBJECT
public:
    // A block device's udev property by key ("" when it has none). On the
    // real /sys, libudev answers when none is given.
    using UdevProperties = std::function<QString(const QString& blockName, const char* key)>;

    explicit SysfsRegistry(const QString& sysRoot = QStringLiteral("/sys"), QObject* parent = nullptr);
    SysfsRegistry(const QString& sysRoot, const QString& mountInfoPath, UdevProperties udevProperties = {},
                  QObject* parent = nullptr);
    ~SysfsRegistry() override;

    // Reads sysfs now and publishes the differences.
    void rebuild();
    // Whether udev events (pci, block, thunderbolt) rebuild the tree as devices come and go.
    bool isMonitoring() const { return notifier_ != nullptr; }

    // The tree of a sysfs root; udev is asked for what sysfs lacks only
    // when it is given. Lines already in `logged` are not logged again.
    static RegistryTreePtr build(const QString& sysRoot, const QString& mountInfoPath,
                                 const UdevProperties& udevProperties = {}, QSet<QString>* logged = nullptr);

protected:
    void aboutToQuery() override;

private:
    void startMonitor();
    void onUdevEvent();

    QString sysRoot_;
    QString mountInfoPath_;
    UdevProperties udevProperties_;
    QSet<QString> logged_;  // the tree is rebuilt before every query: log each line once
    struct udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QTimer debounce_;
    QMutex udevMutex_;
};
