#pragma once
#include "devices/VolumeWatch.h"

#include <QList>
#include <QString>

class QSocketNotifier;
struct libmnt_monitor;

// Volume changes of this process's mount namespace, from libmount's kernel
// monitor. Each change of the mount table is compared with the previous
// table: a mount point that appears is Mounted, one that disappears is
// Unmounted, the same source at another mount point is Renamed. Pseudo file
// systems (proc, tmpfs, cgroup, overlay...) are not volumes and are ignored.
// One signal per change.
class LibmountVolumeWatch : public VolumeWatch {
    Q_OBJECT
public:
    struct Mount {
        QString source;
        QString target;
        bool operator==(const Mount&) const = default;
    };
    using MountTable = QList<Mount>;

    explicit LibmountVolumeWatch(QObject* parent = nullptr);
    ~LibmountVolumeWatch() override;

    // Starts watching; isWatching() tells whether the kernel monitor was available.
    void start() override;
    bool isWatching() const { return notifier_ != nullptr; }

    // The volumes listed in a mountinfo file.
    static MountTable readMountTable(const QString& mountinfo = QStringLiteral("/proc/self/mountinfo"));
    // What happened between two tables, appearances (in the new table's
    // order) before disappearances (in the old table's order).
    static QList<Change> classify(const MountTable& before, const MountTable& after);

private:
    void onActivated();

    libmnt_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    MountTable table_;
};
