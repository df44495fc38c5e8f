#include "exec/MountInfo.h"

#include <libmount/libmount.h>
#include <sys/sysmacros.h>

QList<MountEntry> MountInfo::read(const QString& path)
{
    QList<MountEntry> entries;
    libmnt_table* table = mnt_new_table_from_file(path.toLocal8Bit().constData());
    if (!table)
        return entries;
    libmnt_iter* iter = mnt_new_iter(MNT_ITER_FORWARD);
    libmnt_fs* fs = nullptr;
    while (iter && mnt_table_next_fs(table, iter, &fs) == 0) {
        auto text = [](const char* s) { return s ? QString::fromLocal8Bit(s) : QString(); };
        entries.append({text(mnt_fs_get_source(fs)), text(mnt_fs_get_target(fs)),
                        text(mnt_fs_get_fstype(fs)), text(mnt_fs_get_fs_options(fs)),
                        mnt_fs_get_devno(fs), text(mnt_fs_get_vfs_options(fs))});
    }
    mnt_free_iter(iter);
    mnt_unref_table(table);
    return entries;
}

bool MountInfo::isZfsDataset(const MountEntry& entry)
{
    if (entry.fsType == QLatin1String("zfs"))
        return true;
    return entry.fsType == QLatin1String("fuse.zfs") &&
           entry.fsOptions.split(QLatin1Char(',')).contains(QLatin1String("user_id=0"));
}

dev_t MountInfo::parseDevno(const QString& text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    if (parts.size() != 2)
        return 0;
    bool okMajor = false, okMinor = false;
    const uint major = parts[0].toUInt(&okMajor);
    const uint minor = parts[1].toUInt(&okMinor);
    return okMajor && okMinor ? makedev(major, minor) : 0;
}
