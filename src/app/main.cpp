#include "app/AppDelegate.h"
#include "cli/CommandLine.h"
#include "devices/DiskEjector.h"
#include "devices/LibmountVolumeWatch.h"
#include "devices/Registry.h"
#include "pools/BayMemory.h"
#include "pools/SerialWorker.h"
#include "ui/AppContext.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <sys/prctl.h>

namespace {
// For bench/list-and-window: once the main window is shown listing `pools`
// RAID sets, says "listed" on stdout and ends, so that the start-up can be
// timed from outside.
void quitWhenListed(int pools)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [pools] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            const auto* list = window->findChild<QAbstractItemView*>(QStringLiteral("RaidListView"));
            if (window->isVisible() && list && list->isVisible() && list->model() &&
                list->model()->rowCount() >= pools) {
                std::fputs("listed\n", stdout);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            }
        }
    });
    poll->start(1);
}
}  // namespace

// tarnwell-gui: the window, started by `tarnwell` with the user's arguments.
int main(int argc, char** argv)
{
    // Before any pipe to the privileged helper exists: other processes of the
    // same user must not reach its descriptors through /proc/<pid>/fd.
    prctl(PR_SET_DUMPABLE, 0);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwell"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNWELL_VERSION));

    QCommandLineParser parser;
    CommandLine::addOptions(parser);
    parser.process(app);
    QTextStream err(stderr);
    QString error;
    const CommandLine::Options options = CommandLine::read(parser, &error);
    if (!error.isEmpty()) {
        err << "tarnwell: " << error << "\nTry 'tarnwell --help'.\n";
        return 1;
    }
    const std::unique_ptr<Registry> registry = CommandLine::openRegistry(options, err, /*watch*/ true);
    if (!registry)
        return 1;

    // The installed desktop entry and icon: the desktop matches the windows to
    // the entry by this name, and the theme finds the icon by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarnwell.Tarnwell"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tarnwell.Tarnwell")));

    if (const int pools = qEnvironmentVariableIntValue("TARNWELL_QUIT_WHEN_LISTED"); pools > 0)
        quitWhenListed(pools);

    BayMemory bayMemory;
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
