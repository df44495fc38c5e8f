#include "helper/LiveChecks.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {
struct Fd {
    int fd = -1;
    explicit Fd(int f = -1) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& o) noexcept : fd(o.fd) { o.fd = -1; }
    Fd& operator=(Fd&& o) noexcept
    {
        std::swap(fd, o.fd);
        return *this;
    }
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

QString sysBlock(dev_t d)
{
    return QStringLiteral("/sys/dev/block/%1:%2").arg(major(d)).arg(minor(d));
}

dev_t devOfSysDir(const QString& dir)
{
    QFile f(dir + QStringLiteral("/dev"));
    return f.open(QIODevice::ReadOnly) ? MountInfo::parseDevno(QString::fromLatin1(f.readAll())) : 0;
}

bool isCanonical(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')) || QDir::cleanPath(path) != path)
        return false;
    for (const QChar c : path) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return !path.split(QLatin1Char('/')).contains(QLatin1String(".."));
}

QString unsafeDir(const struct stat& st, const QString& where)
{
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("%1 is a symbolic link").arg(where);
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("%1 is not a directory").arg(where);
    if (st.st_uid != 0)
        return QStringLiteral("%1 is not owned by root").arg(where);
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("%1 may be changed by other users").arg(where);
    return {};
}

// Walks the directories of `path` (all of them, or all but the last
// component) from "/"; `*fd` is the deepest one opened.
QString walk(const QString& path, bool includeLast, bool mayBeMissing, Fd* fd, QString* missing = nullptr)
{
    *fd = Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st;
    if (fd->fd < 0 || ::fstat(fd->fd, &st) != 0)
        return QStringLiteral("cannot open /");
    if (QString why = unsafeDir(st, QStringLiteral("/")); !why.isEmpty())
        return why;
    QStringList parts = path.mid(1).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!includeLast && !parts.isEmpty())
        parts.removeLast();
    QString here;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        here += QLatin1Char('/') + parts[i];
        const QByteArray name = QFile::encodeName(parts[i]);
        if (::fstatat(fd->fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT && mayBeMissing) {
                if (missing)
                    *missing = here;
                return {};
            }
            return QStringLiteral("%1: %2").arg(here, QString::fromLocal8Bit(strerror(errno)));
        }
        if (QString why = unsafeDir(st, here); !why.isEmpty())
            return why;
        Fd next(::openat(fd->fd, name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat again;
        if (next.fd < 0 || ::fstat(next.fd, &again) != 0 || again.st_ino != st.st_ino || again.st_dev != st.st_dev)
            return QStringLiteral("%1 changed while it was checked").arg(here);
        *fd = std::move(next);
    }
    return {};
}
}  // namespace

QSet<dev_t> LiveChecks::wholeDisksOf(dev_t device)
{
    QSet<dev_t> disks;
    QString dir = QDir(sysBlock(device)).canonicalPath();
    if (dir.isEmpty())
        return disks;
    if (QFile::exists(dir + QStringLiteral("/partition")))
        dir = QFileInfo(dir).path();
    if (const dev_t whole = devOfSysDir(dir))
        disks.insert(whole);
    // A mapping or an array stands on other disks: those hold it too.
    const QStringList slaves = QDir(dir + QStringLiteral("/slaves")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& s : slaves) {
        if (const dev_t d = devOfSysDir(dir + QStringLiteral("/slaves/") + s))
            disks.unite(wholeDisksOf(d));
    }
    return disks;
}

LiveChecks::System LiveChecks::systemOf(const QList<MountEntry>& mounts)
{
    System s;
    for (const MountEntry& e : mounts) {
        if (!SystemMounts.contains(e.target) && !e.target.startsWith(QLatin1String("/boot/")))
            continue;
        if (MountInfo::isZfsDataset(e))
            s.pools.insert(e.source.section(QLatin1Char('/'), 0, 0));
        else if (major(e.devno) != 0)
            s.disks.unite(wholeDisksOf(e.devno));
    }
    return s;
}

QString LiveChecks::safePlace(const QString& path, bool mayBeMissing, bool mustBeEmpty)
{
    if (!isCanonical(path))
        return QStringLiteral("\"%1\" is not a canonical absolute path").arg(path);
    Fd fd;
    QString missing;
    if (QString why = walk(path, true, mayBeMissing, &fd, &missing); !why.isEmpty())
        return why;
    if (!missing.isEmpty() || !mustBeEmpty)
        return {};
    Fd dir(::openat(fd.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* d = dir.fd >= 0 ? ::fdopendir(dir.fd) : nullptr;
    if (!d)
        return QStringLiteral("cannot read %1").arg(path);
    dir.fd = -1;
    bool empty = true;
    while (const dirent* e = ::readdir(d)) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            empty = false;
    }
    ::closedir(d);
    return empty ? QString() : QStringLiteral("%1 is not empty").arg(path);
}

QString LiveChecks::blockDevice(const QString& path, bool partitionOk, const System& system, dev_t* devno)
{
    if (!path.startsWith(QLatin1String("/dev/")) || !isCanonical(path))
        return QStringLiteral("\"%1\" is not a device under /dev").arg(path);
    Fd dir;
    if (QString why = walk(path, false, false, &dir); !why.isEmpty())
        return QStringLiteral("\"%1\": %2").arg(path, why);
    const QByteArray leaf = QFile::encodeName(path.section(QLatin1Char('/'), -1));
    struct stat st;
    if (::fstatat(dir.fd, leaf.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return QStringLiteral("\"%1\" does not exist").arg(path);
    const bool link = S_ISLNK(st.st_mode);
    if (link && st.st_uid != 0)
        return QStringLiteral("\"%1\" is a link that is not root's").arg(path);
    // A /dev/diskN link stands for the device it names: check that device,
    // and that the way to it is as safe as the way to the link.
    Fd dev(::openat(dir.fd, leaf.constData(), O_PATH | O_CLOEXEC));
    if (dev.fd < 0 || ::fstat(dev.fd, &st) != 0)
        return QStringLiteral("\"%1\" cannot be opened").arg(path);
    if (!S_ISBLK(st.st_mode))
        return QStringLiteral("\"%1\" is not a block device").arg(path);
    if (link) {
        const QString target = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(dev.fd));
        Fd targetDir;
        if (!target.startsWith(QLatin1String("/dev/")) || !walk(target, false, false, &targetDir).isEmpty())
            return QStringLiteral("\"%1\" leads to %2, outside root's own /dev").arg(path, target);
    }
    const bool partition = QFile::exists(sysBlock(st.st_rdev) + QStringLiteral("/partition"));
    if (partition && !partitionOk)
        return QStringLiteral("\"%1\" is a partition, not a whole disk").arg(path);
    for (const dev_t d : wholeDisksOf(st.st_rdev)) {
        if (system.disks.contains(d))
            return QStringLiteral("\"%1\" is on a disk that holds the system").arg(path);
    }
    if (system.disks.contains(st.st_rdev))
        return QStringLiteral("\"%1\" holds the system").arg(path);
    *devno = st.st_rdev;
    return {};
}

namespace {
QString giveDir(int dirFd, dev_t device, uid_t uid, gid_t gid, int depth)
{
    if (depth > 256)
        return QStringLiteral("the folders nest too deep");
    DIR* d = ::fdopendir(::dup(dirFd));
    if (!d)
        return QStringLiteral("cannot read a folder");
    QString why;
    while (const dirent* e = ::readdir(d)) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        struct stat st;
        if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_dev != device)
            continue;  // gone, or another file system mounted inside: not ours to give
        if (::fchownat(dirFd, e->d_name, uid, gid, AT_SYMLINK_NOFOLLOW) != 0) {
            why = QString::fromLocal8Bit(strerror(errno));
            continue;
        }
        if (!S_ISDIR(st.st_mode))
            continue;
        Fd sub(::openat(dirFd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat again;
        if (sub.fd < 0 || ::fstat(sub.fd, &again) != 0 || again.st_dev != device || again.st_ino != st.st_ino)
            continue;
        if (QString w = giveDir(sub.fd, device, uid, gid, depth + 1); !w.isEmpty())
            why = w;
    }
    ::closedir(d);
    return why;
}
}  // namespace

QString LiveChecks::giveTree(const QString& mountPoint, dev_t device, uid_t uid, gid_t gid)
{
    if (!isCanonical(mountPoint))
        return QStringLiteral("\"%1\" is not a canonical absolute path").arg(mountPoint);
    Fd parent;
    if (QString why = walk(mountPoint, false, false, &parent); !why.isEmpty())
        return why;
    const QByteArray leaf = QFile::encodeName(mountPoint.section(QLatin1Char('/'), -1));
    Fd root(::openat(parent.fd, leaf.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (root.fd < 0 || ::fstat(root.fd, &st) != 0)
        return QStringLiteral("cannot open %1").arg(mountPoint);
    if (st.st_dev != device)
        return QStringLiteral("%1 is not the pool's file system").arg(mountPoint);
    if (::fchown(root.fd, uid, gid) != 0)
        return QString::fromLocal8Bit(strerror(errno));
    return giveDir(root.fd, device, uid, gid, 0);
}
