#include "app/AppContext.h"
#include "app/widgets/AppDelegate.h"
#include "devices/DiskEjector.h"
#include "devices/LibmountVolumeWatch.h"
#include "devices/SysfsRegistry.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwell"));
    QApplication::setApplicationVersion(QStringLiteral(TARNWELL_VERSION));

    SysfsRegistry registry;
    LibmountVolumeWatch volumeWatch;
    DiskEjector diskEjector;
    AppContext context;
    context.registry = &registry;
    context.volumeWatch = &volumeWatch;
    context.diskEjector = &diskEjector;
    return AppDelegate::runApplication(context);
}
