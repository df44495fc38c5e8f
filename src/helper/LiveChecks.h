#pragma once
#include "exec/MountInfo.h"

#include <QList>
#include <QSet>
#include <QString>

#include <sys/types.h>

// What the helper checks on the system as it is, on file descriptors. A path
// counts as safe when every directory on it is owned by root, writable by
// root alone and no symbolic link: then no other user can swap a part of it
// between the check and the tool's use. Each check returns why not, or "".
namespace LiveChecks {
// Where the system's own file systems are mounted.
inline const QStringList SystemMounts = {"/", "/boot", "/usr", "/var", "/home"};

struct System {
    QSet<dev_t> disks;  // whole disks under a system file system
    QSet<QString> pools;  // pools with a dataset mounted at a system place
};
// `mounts` is the mount table; pools' member disks are added by the caller.
System systemOf(const QList<MountEntry>& mounts);
// The whole disk a block device belongs to (itself for a whole disk), and
// the disks under it when it is a mapping or an array; empty when unknown.
QSet<dev_t> wholeDisksOf(dev_t device);

// `path` must be absolute and canonical; each existing component a
// root-owned directory that only root may change, never a symlink. A missing
// tail is allowed when `mayBeMissing`; an existing last directory must be empty when `mustBeEmpty`.
QString safePlace(const QString& path, bool mayBeMissing, bool mustBeEmpty);

// A device operand: under /dev through root-owned directories only, a
// root-owned link (if one) naming a block device that is a whole disk (or,
// with `partitionOk`, a partition) and holds no system file system. `devno`
// receives the device it names.
QString blockDevice(const QString& path, bool partitionOk, const System& system, dev_t* devno);

// Hands the file system mounted at `mountPoint` (st_dev `device`) to uid:gid,
// entry by entry on descriptors, never following a link nor leaving it.
QString giveTree(const QString& mountPoint, dev_t device, uid_t uid, gid_t gid);
}  // namespace LiveChecks
