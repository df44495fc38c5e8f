#include "devices/DiskEjector.h"

#include "exec/MountInfo.h"
#include "exec/RunCMD.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <sys/stat.h>

namespace {
// The helper unmounts only what the device holds; it runs umount itself.
HelperRequest unmountOperation(const QString& device)
{
    HelperRequest r;
    r.op = HelperProtocol::Op::Unmount;
    r.devices = {device};
    return r;
}

struct Member {
    QString path;  // what the unmount tools are given
    dev_t devno;
};

dev_t readDevno(const QString& sysDir)
{
    QFile f(sysDir + QStringLiteral("/dev"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return MountInfo::parseDevno(QString::fromLatin1(f.readAll()));
}

int mountCount(const QString& mountInfo, dev_t devno, QString* deepest = nullptr)
{
    int count = 0;
    for (const MountEntry& e : MountInfo::read(mountInfo)) {
        if (e.devno != devno)
            continue;
        ++count;
        if (deepest && e.target.size() > deepest->size())
            *deepest = e.target;
    }
    return count;
}
}  // namespace

QString DiskEjector::eject(const QString& devPath)
{
    // A link (the sandbox's /dev/diskN names a loop device) stands for the device it resolves to.
    const QString canonical = QFileInfo(devPath).canonicalFilePath();
    if (canonical.isEmpty())
        return {};
    const QFileInfo device(canonical);
    if (device.absolutePath() != QDir(paths_.devDir).canonicalPath())
        return {};
    const QString name = device.fileName();
    const QString sysDir = paths_.sysClassBlock + QLatin1Char('/') + name;
    const dev_t diskDevno = readDevno(sysDir);
    if (diskDevno == 0)
        return {};
    if (paths_.requireBlockDevice) {
        struct stat st;
        if (stat(QFile::encodeName(canonical).constData(), &st) != 0 || !S_ISBLK(st.st_mode) ||
            st.st_rdev != diskDevno)
            return {};
    }

    // The disk itself (a filesystem without a partition table) and each partition.
    QList<Member> members{{paths_.devDir + QLatin1Char('/') + name, diskDevno}};
    const QStringList children = QDir(sysDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& child : children) {
        const QString childDir = sysDir + QLatin1Char('/') + child;
        if (!QFileInfo::exists(childDir + QStringLiteral("/partition")))
            continue;
        if (const dev_t devno = readDevno(childDir))
            members.append({paths_.devDir + QLatin1Char('/') + child, devno});
    }

    // Nested mounts first, so an outer volume is not busy because of an inner one.
    QList<std::pair<QString, Member>> mounted;
    for (const Member& m : members) {
        QString deepest;
        if (mountCount(paths_.mountInfo, m.devno, &deepest) > 0)
            mounted.append({deepest, m});
    }
    std::stable_sort(mounted.begin(), mounted.end(), [](const auto& a, const auto& b) {
        return a.first.count(QLatin1Char('/')) > b.first.count(QLatin1Char('/'));
    });

    QString umount;
    for (const QString& candidate : paths_.umountCandidates) {
        if (QFileInfo(candidate).isExecutable()) {
            umount = candidate;
            break;
        }
    }
    const bool haveUdisks = QFileInfo(paths_.udisksctl).isExecutable();

    QString text;
    RunCMD runner;
    for (const auto& [target, member] : mounted) {
        Q_UNUSED(target);
        // The desktop's own way first: it needs no administrator rights.
        if (haveUdisks) {
            text += runner.runCmd(paths_.udisksctl, {QStringLiteral("unmount"),
                                                     QStringLiteral("--no-user-interaction"),
                                                     QStringLiteral("-b"), member.path});
        }
        int remaining = mountCount(paths_.mountInfo, member.devno);
        // One umount takes away one mount; stop as soon as one achieves nothing.
        while (remaining > 0 && !umount.isEmpty()) {
            const QString out = runner.runCmdAsAdmin(unmountOperation(member.path), umount, {member.path});
            text += out;
            if (out == QLatin1String("Canceled"))
                return text;
            const int now = mountCount(paths_.mountInfo, member.devno);
            if (now >= remaining)
                break;
            remaining = now;
        }
    }
    return text;
}
