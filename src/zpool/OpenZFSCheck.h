#pragma once
#include <QString>

// What the check looks at; tests point these at a temporary folder.
struct OpenZFSProbePaths {
    QString sbinZpool = QStringLiteral("/usr/sbin/zpool");
    QString localZpool = QStringLiteral("/usr/local/bin/zpool");
    QString devZfs = QStringLiteral("/dev/zfs");
    // zfs-fuse has no /dev/zfs; its daemon's socket stands for the service.
    QString zfsFuseSocket = QStringLiteral("/run/zfs/zfs_socket");
};

struct OpenZFSResult {
    bool hasOpenZFS = false;    // a zpool tool is there
    bool ZFSInstalled = false;  // the ZFS service is there (/dev/zfs or the zfs-fuse socket)
    QString zpoolPath;          // the zpool found, /usr/sbin first; empty without one
};

// Finds the zpool tool and the ZFS service at start-up and for the command line.
namespace OpenZFSCheck {
// Whether `ls -l path` would list it: only a path that does not exist is absent.
bool listed(const QString& path);
OpenZFSResult check(const OpenZFSProbePaths& paths = {});
// Whether zpool's words say the ZFS service is missing (no module, no
// zfs-fuse daemon) rather than that one run failed.
bool saysNoService(const QString& text);

inline const QString NoOpenZFSMessage = QStringLiteral("There haven`t OpenZFS in your system");
QString noOpenZFSInformative();  // "Please download and install OpenZFS from\n<address>"
inline const QString InstallFailedMessage = QStringLiteral("OpenZFS install Failed");
inline const QString InstallFailedInformative = QStringLiteral(
    "Failed to load ZFS module stack.\nLoad the modile manually by running "
    "'/sbin/kextload /System/Library/Extensuibs.zfs.kext' as root.\nthe /dev/zfs device is "
    "missing and must be cteated.\nTry running 'idevadm trgger' as root tp cteate it.");
}  // namespace OpenZFSCheck
