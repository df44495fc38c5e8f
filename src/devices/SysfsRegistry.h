#pragma once
#include "devices/Registry.h"

#include <QTimer>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// The Linux device tree from sysfs, in the registry's own terms, so that the
// enclosure scan, the bay rules and the hot-plug filter run unchanged.
//
// Mapping (R = sysfs root, "/sys" normally):
//
//  Thunderbolt. Each R/bus/thunderbolt/devices/<d>-<route> (a router,
//  <route> in hex) becomes an "IOThunderboltSwitch" entry named
//  "IOThunderboltSwitch" at location <route>, below the entry
//  "IOThunderboltController" "domain<d>" (a root child) and nested by route
//  (the router one hop nearer the host is the parent). Properties:
//    "Device Vendor ID"   the "vendor" file (hex)      "Device Vendor Name"  "vendor_name"
//    "Device Model ID"    the "device" file (hex)      "Device Model Name"   "device_name"
//    "UID"   the first 64 bits of "unique_id" (a UUID), as a signed number
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
//  Thunderbolt Path. sysfs does not say which router a tunnelled PCI port
//  belongs to, so it is inferred. An enclosure's SATA controllers
//  ("pci1b21,612"/"pci1b21,625") sit behind the downstream bridges of its
//  own PCIe switch: the bridge two levels above a controller is the
//  enclosure's upstream port. A port nested inside another belongs to the
//  same daisy chain, further out. The chains, in PCI order, are paired with
//  the host ports' router chains that hold routers of vendor 65, in
//  (domain, route) order; along a chain the k-th port with the k-th such
//  router by depth. When the counts differ or a chain branches, the pairing
//  is not trusted and those ports get no "Thunderbolt Path", so their disks
//  are listed under no enclosure rather than under a wrong one. A paired
//  port carries "Thunderbolt Path" = the router's path +
//  "/IOThunderboltPCIUpAdapter".
//
//  SATA. A function of class 0x0106xx gets a child "AppleAHCI"; its ports
//  R/.../ata<N>, in order of N, become "AppleAHCIPort" "PRT<p>@<p>" (p counts
//  from 0). Each SCSI device below a port that has a block device becomes
//    "IOAHCIDevice@0" / "AppleAHCIDiskDriver" with
//        "Model" (the "model" file), "Serial Number" (the "vpd_pg80" page, or
//        udev's ID_SERIAL_SHORT), "Physical Interconnect Location" "External"
//        when the controller is behind Thunderbolt (a "removable" PCI
//        function, or below a port with a Thunderbolt Path) or the disk is
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
    explicit SysfsRegistry(const QString& sysRoot = QStringLiteral("/sys"), QObject* parent = nullptr);
    SysfsRegistry(const QString& sysRoot, const QString& mountInfoPath, QObject* parent = nullptr);
    ~SysfsRegistry() override;

    // Reads sysfs now and publishes the differences.
    void rebuild();
    bool isMonitoring() const { return notifier_ != nullptr; }

    // The tree of a sysfs root; udev is asked for what sysfs lacks only
    // when it is given.
    static RegistryTreePtr build(const QString& sysRoot, const QString& mountInfoPath,
                                 struct udev* udevContext = nullptr);

protected:
    void aboutToQuery() override;

private:
    void startMonitor();
    void onUdevEvent();

    QString sysRoot_;
    QString mountInfoPath_;
    struct udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QTimer debounce_;
    QMutex udevMutex_;
};
