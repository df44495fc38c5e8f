#pragma once
#include "zpool/OpenZFSCheck.h"

#include <QString>
#include <QTextStream>

class BayMemory;
class QCommandLineParser;
class Registry;

// The command line of `tarnwell`: --registry FILE, --list [--json], --help,
// --version. The listing runs without a window.
namespace CommandLine {
struct Options {
    QString registryFile;  // empty: the platform's own registry
    bool list = false;
    bool json = false;
};

// True when the arguments ask for something that needs no display (--list,
// --json, --help, --version), so main() can make a QCoreApplication instead.
bool isHeadless(int argc, const char* const* argv);

void addOptions(QCommandLineParser& parser);
// The options of a processed parser; an error text when they do not fit together.
Options read(const QCommandLineParser& parser, QString* error);

struct ListEnvironment {
    OpenZFSProbePaths probePaths;
    QString dfPath = QStringLiteral("/bin/df");
    BayMemory* bayMemory = nullptr;
};

// The Update button's refresh (ejected pools included, after the OpenZFS
// check), printed as a table or as JSON. Returns the exit status: 0 once
// printed, also with no pools; 1 with a message on `err` when zpool or the
// ZFS service is missing or zpool cannot reach it.
int list(Registry& registry, bool json, QTextStream& out, QTextStream& err,
         const ListEnvironment& environment = {});
}  // namespace CommandLine
