#include "app/CommandLine.h"

#include "app/PoolListing.h"
#include "base/NotificationCenter.h"
#include "devices/VRLScanDevice.h"
#include "exec/RunCMD.h"
#include "pools/PoolRefresh.h"
#include "zpool/ZpoolCMD.h"
#include "zpool/ZpoolList.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstring>

namespace {
const QString RegistryOption = QStringLiteral("registry");
const QString ListOption = QStringLiteral("list");
const QString JsonOption = QStringLiteral("json");
}  // namespace

bool CommandLine::isHeadless(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--") == 0)
            break;
        for (const char* headless :
             {"--list", "-l", "--json", "--help", "-h", "-?", "--help-all", "--version", "-v"}) {
            if (std::strcmp(a, headless) == 0)
                return true;
        }
    }
    return false;
}

void CommandLine::addOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine", "Builds and manages ZFS RAID sets on four-bay Thunderbolt enclosures."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({RegistryOption,
                      QCoreApplication::translate(
                          "CommandLine", "Read the devices from a registry fixture (JSON) instead of this machine."),
                      QStringLiteral("FILE")});
    parser.addOption({{QStringLiteral("l"), ListOption},
                      QCoreApplication::translate(
                          "CommandLine", "Print the RAID sets and their disks, ejected sets included, and exit.")});
    parser.addOption({JsonOption, QCoreApplication::translate("CommandLine", "With --list: print JSON.")});
}

CommandLine::Options CommandLine::read(const QCommandLineParser& parser, QString* error)
{
    Options o;
    o.registryFile = parser.value(RegistryOption);
    o.list = parser.isSet(ListOption);
    o.json = parser.isSet(JsonOption);
    if (error)
        error->clear();
    if (o.json && !o.list && error)
        *error = QStringLiteral("--json goes with --list.");
    else if (parser.isSet(RegistryOption) && o.registryFile.isEmpty() && error)
        *error = QStringLiteral("--registry needs a file.");
    else if (!parser.positionalArguments().isEmpty() && error)
        *error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
    return o;
}

int CommandLine::list(Registry& registry, bool json, QTextStream& out, QTextStream& err,
                      const ListEnvironment& environment)
{
    const OpenZFSResult zfs = OpenZFSCheck::check(environment.probePaths);
    if (!zfs.hasOpenZFS) {
        err << "tarnwell: OpenZFS is not installed: there is no zpool at "
            << environment.probePaths.sbinZpool << " or " << environment.probePaths.localZpool << ".\n";
        return 1;
    }
    if (!zfs.ZFSInstalled) {
        err << "tarnwell: the ZFS service is not available: " << environment.probePaths.devZfs
            << " is missing and no zfs-fuse daemon is listening at " << environment.probePaths.zfsFuseSocket
            << ".\n";
        return 1;
    }

    // Our own hub: nothing in this process reacts to the refresh's notifications.
    NotificationCenter center;
    ZpoolCMD zpool(center);
    zpool.setZpoolPath(zfs.zpoolPath);
    VRLScanDevice scanner(registry, environment.dfPath);
    const RaidListPtr pools = PoolRefresh::refresh(zpool, scanner, /*includeEjected*/ true, /*gateOpen*/ true,
                                                   nullptr, environment.bayMemory);

    if (pools->isEmpty()) {
        // An empty list is either "no pools" or a zpool that could not do its
        // job; only the first may be printed as a result.
        const QString text = RunCMD().runCmd(zfs.zpoolPath, ZpoolList::arguments());
        if (!ZpoolList::saysNoPools(text)) {
            err << "tarnwell: " << zfs.zpoolPath << " list failed";
            const QString said = text.trimmed();
            if (!said.isEmpty())
                err << ":\n" << said;
            err << "\n";
            return 1;
        }
    }
    if (json)
        out << QString::fromUtf8(PoolListing::json(*pools));
    else
        out << PoolListing::table(*pools);
    out.flush();
    return 0;
}
