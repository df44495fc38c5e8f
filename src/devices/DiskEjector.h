#pragma once
#include <QString>
#include <QStringList>

#include <utility>

// Where DiskEjector looks and what it runs; tests point these at a fake tree.
struct DiskEjectorPaths {
    QString devDir = QStringLiteral("/dev");
    QString sysClassBlock = QStringLiteral("/sys/class/block");
    QString mountInfo = QStringLiteral("/proc/self/mountinfo");
    QString udisksctl = QStringLiteral("/usr/bin/udisksctl");
    QStringList umountCandidates = {QStringLiteral("/usr/bin/umount"),
                                    QStringLiteral("/bin/umount")};
    // A real disk path must name the block device that sysfs describes; a
    // fake tree has plain files instead.
    bool requireBlockDevice = true;
};

// Takes a whole disk away from the desktop before zpool uses it: on Linux,
// every mounted partition of the disk is unmounted. Returns the tools' text.
class DiskEjector {
public:
    DiskEjector() = default;
    explicit DiskEjector(DiskEjectorPaths paths) : paths_(std::move(paths)) {}
    virtual ~DiskEjector() = default;
    // devPath is "/dev/NAME" of a whole disk; a path that is not one is left alone.
    virtual QString eject(const QString& devPath);

private:
    DiskEjectorPaths paths_;
};
