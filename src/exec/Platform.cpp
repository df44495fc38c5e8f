#include "exec/Platform.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace {
// getpwuid/getgrgid share static buffers; the _r forms are safe on any thread.
bool passwdFor(uid_t uid, QString* name, gid_t* gid)
{
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd pw;
    passwd* found = nullptr;
    if (getpwuid_r(uid, &pw, buffer.data(), buffer.size(), &found) != 0 || !found)
        return false;
    *name = QString::fromLocal8Bit(found->pw_name);
    *gid = found->pw_gid;
    return true;
}

QString groupName(gid_t gid)
{
    long size = sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    group gr;
    group* found = nullptr;
    if (getgrgid_r(gid, &gr, buffer.data(), buffer.size(), &found) != 0 || !found)
        return QString::number(gid);
    return QString::fromLocal8Bit(found->gr_name);
}
}  // namespace

QString Platform::chownPath()
{
#ifdef Q_OS_MACOS
    return QStringLiteral("/usr/sbin/chown");
#else
    return QStringLiteral("/usr/bin/chown");
#endif
}

QString Platform::userName()
{
    QString name;
    gid_t gid;
    if (passwdFor(getuid(), &name, &gid))
        return name;
    return QString::number(getuid());
}

QString Platform::primaryGroupName()
{
    QString name;
    gid_t gid = getgid();
    passwdFor(getuid(), &name, &gid);
    return groupName(gid);
}

QStringList Platform::volumeRoots()
{
    const QString user = userName();
    return {QStringLiteral("/Volumes/"), QStringLiteral("/media/") + user + QLatin1Char('/'),
            QStringLiteral("/run/media/") + user + QLatin1Char('/')};
}
