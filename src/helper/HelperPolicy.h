#pragma once
#include <QMap>
#include <QString>
#include <QStringList>

// What tarnwell-helper agrees to run as root: only the tool runs Tarnwell
// itself makes. A pure function of the request and of what the system looks
// like right now, so it can be tested without root.
namespace HelperPolicy {
struct Context {
    QStringList zpoolPaths;                          // the zpool executables that exist
    QStringList chownPaths;                          // the chown executables that exist
    QStringList umountPaths;                         // the umount executables that exist
    QString user;                                    // the user who asked for the elevation
    QStringList userGroups;                          // the groups that user belongs to
    QStringList zfsMountPoints;                      // mounted ZFS datasets
    QMap<QString, QStringList> mountedBlockDevices;  // "/dev/sdb1" -> its mount points
};

struct Verdict {
    bool allowed = false;
    QString reason;  // why not, when refused
};

// Whether tarnwell-helper may run `path` with `arguments` as root now: zpool
// in the shapes of the zpool units, chown of a mounted pool's own mount
// point to the requesting user, umount of a partition mounted only at volume paths.
Verdict check(const QString& path, const QStringList& arguments, const Context& context);

// An absolute, normalised path outside the system's own directories and not
// "/": a place where a user's volume may live (/tank, /media/u/x, /mnt/x).
bool isVolumePath(const QString& path);
}  // namespace HelperPolicy
