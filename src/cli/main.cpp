#include "cli/CommandLine.h"
#include "devices/Registry.h"
#include "pools/BayMemory.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>
#include <vector>

#include <sys/prctl.h>

// tarnwell-cli, which `tarnwell` becomes for the listing, help and version:
// no widget libraries. Anything else is the window's, which it becomes.
int main(int argc, char** argv)
{
    // As the window does: no other process of the user reaches its descriptors.
    prctl(PR_SET_DUMPABLE, 0);
    QTextStream err(stderr);
    if (!CommandLine::isHeadless(argc, argv))
        return CommandLine::startWindow(argv, err);
    const std::vector<char*> arguments(argv, argv + argc + 1);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwell"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNWELL_VERSION));

    QCommandLineParser parser;
    CommandLine::addOptions(parser);
    parser.process(app);  // --help, --version and unknown options end here
    QString error;
    const CommandLine::Options options = CommandLine::read(parser, &error);
    if (!error.isEmpty()) {
        err << "tarnwell: " << error << "\nTry 'tarnwell --help'.\n";
        return 1;
    }
    // "--registry --list" names a file "--list": that asks for the window.
    if (!options.list)
        return CommandLine::startWindow(const_cast<char**>(arguments.data()), err);

    const std::unique_ptr<Registry> registry = CommandLine::openRegistry(options, err, /*watch*/ false);
    if (!registry)
        return 1;
    BayMemory bayMemory;
    QTextStream out(stdout);
    CommandLine::ListEnvironment environment;
    environment.bayMemory = &bayMemory;
    return CommandLine::list(*registry, options.json, out, err, environment);
}
