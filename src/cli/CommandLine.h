#pragma once
#include "zpool/OpenZFSCheck.h"

#include <QString>
#include <QTextStream>

#include <memory>
#include <unistd.h>

class BayMemory;
class QCommandLineParser;
class Registry;

// The command line of `tarnwell`: --registry FILE, --list [--json], --help,
// --version. `tarnwell` (src/cli/launcher) becomes tarnwell-cli for these
// and tarnwell-gui, the window, for everything else.
namespace CommandLine {
struct Options {
    QString registryFile;  // empty: the platform's own registry
    bool list = false;
    bool json = false;
};

// True when the arguments ask for something that needs no display (--list,
// --json, --help, --version), so main() can make a QCoreApplication instead.
bool isHeadless(int argc, const char* const* argv);

// Replaces this process with the window's program, tarnwell-gui, the same
// arguments passed on. Returns only when that fails: 1, with a message on `err`.
int startWindow(char** argv, QTextStream& err);

// The registry the options name: the fixture file, else this machine's;
// the window watches the fixture for changes, the listing reads it once.
// Null, with a message on `err`, when the fixture cannot be read.
std::unique_ptr<Registry> openRegistry(const Options& options, QTextStream& err, bool watch);

void addOptions(QCommandLineParser& parser);
// The options of a processed parser; an error text when they do not fit together.
Options read(const QCommandLineParser& parser, QString* error);

struct ListEnvironment {
    OpenZFSProbePaths probePaths;
    QString dfPath = QStringLiteral("/bin/df");
    BayMemory* bayMemory = nullptr;
    // The ejected-pool scan needs administrator rights, which the listing
    // never asks for: it scans only when it has them already.
    bool administrator = ::geteuid() == 0;
};

// The note, on `err` and in the JSON, when ejected pools were not scanned.
QString notScannedNote();

// The Update button's refresh (after the OpenZFS check; ejected pools only
// as administrator), printed as a table or as JSON. Returns the exit status:
// 0 once printed, also with no pools; 1 with a message on `err` when zpool
// or the ZFS service is missing or zpool cannot reach it; 2 when a zpool
// run failed or timed out, with its message on `err`.
int list(Registry& registry, bool json, QTextStream& out, QTextStream& err,
         const ListEnvironment& environment = {});
}  // namespace CommandLine
