#include "cli/CommandLine.h"

#include "cli/Launch.h"
#include "cli/PoolListing.h"
#include "base/NotificationCenter.h"
#include "devices/FixtureRegistry.h"
#include "devices/SysfsRegistry.h"
#include "devices/VRLScanDevice.h"
#include "exec/ToolProcess.h"
#include "pools/PoolRefresh.h"
#include "zpool/ZpoolCMD.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cerrno>
#include <cstring>

namespace {
const QString RegistryOption = QStringLiteral("registry");
const QString ListOption = QStringLiteral("list");
const QString JsonOption = QStringLiteral("json");
}  // namespace

bool CommandLine::isHeadless(int argc, const char* const* argv)
{
    return Launch::isHeadless(argc, argv);
}

int CommandLine::startWindow(char** argv, QTextStream& err)
{
    Launch::become("tarnwell-gui", TARNWELL_GUI_INSTALLED, argv);
    err << "tarnwell: cannot start " << TARNWELL_GUI_INSTALLED << ": " << std::strerror(errno) << "\n";
    return 1;
}

std::unique_ptr<Registry> CommandLine::openRegistry(const Options& options, QTextStream& err, bool watch)
{
    if (options.registryFile.isEmpty())
        return std::make_unique<SysfsRegistry>();
    auto fixture = watch ? std::make_unique<FixtureRegistry>(options.registryFile)
                         : std::make_unique<FixtureRegistry>(options.registryFile, FixtureRegistry::Watching::Off);
    if (!fixture->errorString().isEmpty()) {
        err << "tarnwell: cannot read the registry fixture " << options.registryFile << ": "
            << fixture->errorString() << "\n";
        return nullptr;
    }
    return fixture;
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
    const bool scan = environment.administrator;
    if (!scan)
        err << "tarnwell: " << notScannedNote() << "\n";
    const PoolRefresh::Refreshed fresh =
        PoolRefresh::refresh(zpool, scanner, scan, /*gateOpen*/ true, environment.bayMemory);
    if (fresh.failure) {
        // Printed, a part of the pools would pass for all of them.
        err << "tarnwell: " << fresh.failure->report() << "\n";
        err.flush();
        const QString said = fresh.failure->outputText() + ToolProcess::decode(fresh.failure->errors);
        return OpenZFSCheck::saysNoService(said) ? 1 : 2;
    }
    if (json)
        out << QString::fromUtf8(PoolListing::listing(*fresh.pools, scan, scan ? QString() : notScannedNote()));
    else
        out << PoolListing::table(*fresh.pools);
    out.flush();
    return 0;
}

QString CommandLine::notScannedNote()
{
    return QStringLiteral("ejected RAID sets were not scanned: that needs administrator rights. "
                          "Run tarnwell --list as root (sudo tarnwell --list) to include them.");
}
