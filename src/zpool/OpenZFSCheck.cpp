#include "zpool/OpenZFSCheck.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

bool OpenZFSCheck::listed(const QString& path)
{
    if (path.isEmpty())
        return false;
    // As `ls -l PATH` does: the link itself, not what it points to, so a
    // dangling link is there. Only "No such file or directory" is absent; a
    // permission error or any other answer counts as present.
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 || errno != ENOENT;
}

OpenZFSResult OpenZFSCheck::check(const OpenZFSProbePaths& paths)
{
    OpenZFSResult result;
    const bool sbinZpool = listed(paths.sbinZpool);
    result.hasOpenZFS = sbinZpool || listed(paths.localZpool);
    result.ZFSInstalled = listed(paths.devZfs) || listed(paths.zfsFuseSocket);
    if (result.hasOpenZFS)
        result.zpoolPath = sbinZpool ? paths.sbinZpool : paths.localZpool;
    return result;
}

bool OpenZFSCheck::saysNoService(const QString& text)
{
    for (const char* marker : {"Failed to load ZFS module stack", "The ZFS modules are not loaded",
                               "zfs-fuse daemon is running"}) {
        if (text.contains(QLatin1String(marker)))
            return true;
    }
    return false;
}

QString OpenZFSCheck::noOpenZFSInformative()
{
#ifdef Q_OS_MACOS
    const QString address = QStringLiteral("https://openzfsonosx.org/");
#else
    const QString address =
        QStringLiteral("https://openzfs.github.io/openzfs-docs/Getting%20Started/index.html");
#endif
    return QStringLiteral("Please download and install OpenZFS from\n") + address;
}
