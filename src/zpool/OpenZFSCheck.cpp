#include "zpool/OpenZFSCheck.h"

#include "exec/ToolLimits.h"
#include "exec/ToolProcess.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <memory>
#include <vector>

namespace {
const QString Missing = QStringLiteral("No such file or directory");
}

OpenZFSResult OpenZFSCheck::check(const OpenZFSProbePaths& paths)
{
    const QStringList targets = {paths.sbinZpool, paths.localZpool, paths.devZfs,
                                 paths.zfsFuseSocket};
    // All probes are started first and read afterwards, in order.
    std::vector<std::unique_ptr<QProcess>> probes;
    for (const QString& target : targets) {
        auto probe = std::make_unique<QProcess>();
        // LC_ALL=C: a translated "No such file or directory" would count a
        // missing tool as present.
        probe->setProcessEnvironment(ToolProcess::environment());
        probe->setProcessChannelMode(QProcess::MergedChannels);
        probe->setStandardInputFile(QProcess::nullDevice());
        if (!target.isEmpty())
            probe->start(paths.ls, {QStringLiteral("-l"), target}, QIODevice::ReadOnly);
        probes.push_back(std::move(probe));
    }
    std::vector<bool> present;
    const QDeadlineTimer deadline(ToolLimits::ms(ToolLimits::Kind::Read));
    for (size_t i = 0; i < probes.size(); ++i) {
        QProcess& probe = *probes[i];
        if (targets[int(i)].isEmpty()) {
            present.push_back(false);
            continue;
        }
        // A probe that hangs is stopped; it did not say "missing".
        if (!probe.waitForFinished(int(qMax<qint64>(1, deadline.remainingTime()))))
            probe.kill();
        // Anything but "missing", a permission error included, counts as present.
        present.push_back(!ToolProcess::decode(probe.readAll()).contains(Missing));
    }

    OpenZFSResult result;
    result.hasOpenZFS = present[0] || present[1];
    result.ZFSInstalled = present[2] || present[3];
    if (result.hasOpenZFS)
        result.zpoolPath = present[0] ? paths.sbinZpool : paths.localZpool;
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
