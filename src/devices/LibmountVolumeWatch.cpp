#include "devices/LibmountVolumeWatch.h"

#include <QSocketNotifier>
#include <QTimer>

#include <libmount/libmount.h>

namespace {
// After each wake-up the notifier rests this long, so a descriptor that
// keeps reporting ready cannot make us spin.
constexpr int kRestMs = 100;
}  // namespace

LibmountVolumeWatch::LibmountVolumeWatch(QObject* parent) : VolumeWatch(parent) {}

LibmountVolumeWatch::~LibmountVolumeWatch()
{
    delete notifier_;
    if (monitor_)
        mnt_unref_monitor(monitor_);
}

void LibmountVolumeWatch::start()
{
    if (monitor_)
        return;
    monitor_ = mnt_new_monitor();
    if (!monitor_)
        return;
    const int fd = mnt_monitor_enable_kernel(monitor_, 1) == 0 ? mnt_monitor_get_fd(monitor_) : -1;
    if (fd < 0) {
        qWarning("volume watch: the kernel mount monitor is not available");
        mnt_unref_monitor(monitor_);
        monitor_ = nullptr;
        return;
    }
    table_ = readMountTable();
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &LibmountVolumeWatch::onActivated);
}

void LibmountVolumeWatch::onActivated()
{
    notifier_->setEnabled(false);
    // Consume every pending event before looking at the table.
    const char* file = nullptr;
    int type = 0;
    for (int guard = 0; guard < 1000 && mnt_monitor_next_change(monitor_, &file, &type) == 0; ++guard) {
    }
    MountTable now = readMountTable();
    const QList<Change> changes = classify(table_, now);
    table_ = std::move(now);
    QTimer::singleShot(kRestMs, this, [this] {
        if (notifier_)
            notifier_->setEnabled(true);
    });
    for (Change c : changes)
        emit volumesChanged(c);
}

LibmountVolumeWatch::MountTable LibmountVolumeWatch::readMountTable(const QString& mountinfo)
{
    MountTable result;
    libmnt_table* tb = mnt_new_table_from_file(mountinfo.toLocal8Bit().constData());
    if (!tb)
        return result;
    libmnt_iter* it = mnt_new_iter(MNT_ITER_FORWARD);
    libmnt_fs* fs = nullptr;
    while (it && mnt_table_next_fs(tb, it, &fs) == 0) {
        if (mnt_fs_is_pseudofs(fs) || mnt_fs_is_swaparea(fs))
            continue;
        const char* source = mnt_fs_get_source(fs);
        const char* target = mnt_fs_get_target(fs);
        if (!target)
            continue;
        result.append({QString::fromLocal8Bit(source ? source : ""), QString::fromLocal8Bit(target)});
    }
    mnt_free_iter(it);
    mnt_unref_table(tb);
    return result;
}

QList<VolumeWatch::Change> LibmountVolumeWatch::classify(const MountTable& before, const MountTable& after)
{
    MountTable gone = before;
    MountTable came;
    for (const Mount& m : after) {
        const qsizetype i = gone.indexOf(m);
        if (i >= 0)
            gone.removeAt(i);
        else
            came.append(m);
    }
    QList<Change> changes;
    for (const Mount& m : std::as_const(came)) {
        qsizetype moved = -1;
        for (qsizetype i = 0; i < gone.size() && moved < 0; ++i)
            if (!m.source.isEmpty() && gone[i].source == m.source)
                moved = i;
        if (moved >= 0) {
            gone.removeAt(moved);
            changes.append(Change::Renamed);
        } else {
            changes.append(Change::Mounted);
        }
    }
    for (qsizetype i = 0; i < gone.size(); ++i)
        changes.append(Change::Unmounted);
    return changes;
}
