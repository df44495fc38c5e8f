#include "create/PoolMountPoint.h"

#include <libmount.h>

#include <memory>

namespace {
bool isZfs(const char* fstype)
{
    if (!fstype)
        return false;
    const QByteArray type(fstype);
    // OpenZFS mounts as "zfs"; zfs-fuse as a FUSE file system of subtype zfs.
    return type == "zfs" || type == "fuse.zfs" || type == "fuse.zfs-fuse";
}
}  // namespace

std::optional<QString> PoolMountPoint::find(const QString& poolName, const QString& mountTable)
{
    if (poolName.isEmpty())
        return std::nullopt;
    std::unique_ptr<libmnt_table, decltype(&mnt_unref_table)> table(
        mnt_new_table_from_file(mountTable.toLocal8Bit().constData()), &mnt_unref_table);
    if (!table)
        return std::nullopt;
    std::unique_ptr<libmnt_iter, decltype(&mnt_free_iter)> it(mnt_new_iter(MNT_ITER_BACKWARD),
                                                              &mnt_free_iter);
    const QByteArray source = poolName.toUtf8();
    libmnt_fs* fs = nullptr;
    while (mnt_table_next_fs(table.get(), it.get(), &fs) == 0) {
        const char* src = mnt_fs_get_source(fs);
        const char* target = mnt_fs_get_target(fs);
        if (src && target && source == src && isZfs(mnt_fs_get_fstype(fs)))
            return QString::fromUtf8(target);
    }
    return std::nullopt;
}
