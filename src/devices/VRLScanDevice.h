#pragma once
#include "devices/Registry.h"
#include "devices/VRLThunderboltInfo.h"

#include <QStringList>

#include <functional>

// Finds the maker's Thunderbolt enclosures in the registry, their disks with
// bays and partitions, and the partitions' mount points. One scanner per
// owner; not safe for overlapping calls.
class VRLScanDevice {
public:
    // Returns the disk-usage table as text.
    using DfRunner = std::function<QString()>;

    explicit VRLScanDevice(Registry& registry, const QString& dfPath = QStringLiteral("/bin/df"));

    // "RADade", "USB/1394", "TBOthers" or "All": replaces those lists with
    // new empty ones; holders of the old lists keep them.
    void resetArray(const QString& category);
    // "thunderbolt" or "hdd": runs the query; the status, 0 on success.
    int scanForDeviceName(const QString& category, RegistryIterator& iterator);
    // Appends each of the maker's enclosures among the switches to tbArray.
    void getThunderboltInfo(RegistryIterator& iterator);
    // Appends each disk to the enclosure its "Thunderbolt Path" names, with its bay.
    void getHddInfo(RegistryIterator& iterator);
    // Fills that disk's device path and size and its open leaf partitions from the subtree.
    void searchPartition(const RegistryEntry& entry, qsizetype tbIndex, qsizetype hddIndex);
    // Gives the partitions their mount point and sizes from the disk-usage table.
    void getMountPoint();
    // Enclosures, then disks, then mount points. Appends to tbArray.
    void scanTBDevice();

    // The enclosures found, with their disks and partitions.
    const TBList& tbArray() const { return tbArray_; }
    // Other disks and Thunderbolt devices: no scan fills them; resetArray replaces them.
    const HddList& otherDiskArray() const { return otherDiskArray_; }
    const TBList& otherTBArray() const { return otherTBArray_; }

    // Standard output of a tool run as the user.
    static QString runCommandWithCommand(const QString& path, const QStringList& args);
    // Replaces how the disk-usage table is obtained (tests).
    void setDfRunner(DfRunner runner) { dfRunner_ = std::move(runner); }
    const DfRunner& dfRunner() const { return dfRunner_; }

    // The pieces of the rules, for whoever needs them alone.
    static const QList<qint64>& enclosureModelIDs();  // 771, 774, 782, 567, 568
    // The bay of a disk from its registry path, or absent.
    static std::optional<QString> slotForPath(const QString& path);
    // The text with its last path component removed.
    static QString deletingLastPathComponent(const QString& path);
    // The mount point in one disk-usage line: from the last volume root to
    // the end of the line ("/Volumes/", and on Linux "/media/" and "/run/media/").
    static std::optional<QString> mountPointInLine(const QString& line);

private:
    Registry& registry_;
    QString dfPath_;
    DfRunner dfRunner_;
    TBList tbArray_;
    HddList otherDiskArray_;
    TBList otherTBArray_;
};
