#include "create/PoolMountPoint.h"

#include <libmount.h>

#include <memory>

namespace {
bool mountedByRoot(libmnt_fs* fs)
{
    const char* options = mnt_fs_get_fs_options(fs);
    char* value = nullptr;
    size_t size = 0;
    return options && mnt_optstr_get_option(options, "user_id", &value, &size) == 0 &&
           QByteArray(value, qsizetype(size)) == "0";
}

bool isZfs(libmnt_fs* fs)
{
    const char* fstype = mnt_fs_get_fstype(fs);
    if (!fstype)
        return false;
    const QByteArray type(fstype);
    // zfs-fuse mounts as FUSE of subtype zfs; any user may name a FUSE mount
    // so, but only root's is a pool.
    return type == "zfs" || (type == "fuse.zfs" && mountedByRoot(fs));
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
        if (src && target && source == src && isZfs(fs))
            return QString::fromUtf8(target);
    }
    return std::nullopt;
}
