#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "devices/DiskEjector.h"
#include "devices/FixtureRegistry.h"
#include "devices/LibmountVolumeWatch.h"
#include "devices/SysfsRegistry.h"
#include "pools/BayMemory.h"
#include "pools/SerialWorker.h"
#include "ui/AppContext.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTextStream>

#include <cstdio>
#include <memory>
#include <sys/prctl.h>

int main(int argc, char** argv)
{
    // Before any pipe to the privileged helper exists: other processes of the
    // same user must not reach its descriptors through /proc/<pid>/fd.
    prctl(PR_SET_DUMPABLE, 0);
    // A listing, help or version needs no display, so it must not ask for one.
    std::unique_ptr<QCoreApplication> app;
    if (CommandLine::isHeadless(argc, argv))
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwell"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNWELL_VERSION));

    QCommandLineParser parser;
    CommandLine::addOptions(parser);
    parser.process(*app);  // --help, --version and unknown options end here
    QTextStream err(stderr);
    QString error;
    const CommandLine::Options options = CommandLine::read(parser, &error);
    if (!error.isEmpty()) {
        err << "tarnwell: " << error << "\nTry 'tarnwell --help'.\n";
        return 1;
    }

    std::unique_ptr<Registry> registry;
    if (!options.registryFile.isEmpty()) {
        auto fixture = std::make_unique<FixtureRegistry>(options.registryFile);
        if (!fixture->errorString().isEmpty()) {
            err << "tarnwell: cannot read the registry fixture " << options.registryFile << ": "
                << fixture->errorString() << "\n";
            return 1;
        }
        registry = std::move(fixture);
    } else {
        registry = std::make_unique<SysfsRegistry>();
    }

    BayMemory bayMemory;
    if (options.list) {
        QTextStream out(stdout);
        CommandLine::ListEnvironment environment;
        environment.bayMemory = &bayMemory;
        return CommandLine::list(*registry, options.json, out, err, environment);
    }

    // The installed desktop entry and icon: the desktop matches the windows to
    // the entry by this name, and the theme finds the icon by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarnwell.Tarnwell"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tarnwell.Tarnwell")));

    LibmountVolumeWatch volumeWatch;
    DiskEjector diskEjector;
    SerialWorker worker;
    AppContext context;
    context.worker = &worker;
    context.registry = registry.get();
    context.volumeWatch = &volumeWatch;
    context.diskEjector = &diskEjector;
    context.bayMemory = &bayMemory;
    return AppDelegate::runApplication(context);
}
