#include "app/AppDelegate.h"

#include "ui/Disclaimer.h"
#include "ui/HelpPages.h"
#include "ui/MainWindows.h"

#include <QApplication>
#include <QDesktopServices>
#include <QTimer>

AppDelegate::AppDelegate(AppContext& context, QObject* parent) : QObject(parent), context_(context)
{
}

AppDelegate::~AppDelegate()
{
    disclaimerWindow_.reset();
    mainWindows_.reset();
}

int AppDelegate::runApplication(AppContext& context)
{
    if (QCoreApplication::applicationName().isEmpty())
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwell"));
    if (QCoreApplication::applicationVersion().isEmpty())
        QCoreApplication::setApplicationVersion(QStringLiteral(TARNWELL_VERSION));
    QApplication::setQuitOnLastWindowClosed(applicationShouldTerminateAfterLastWindowClosed());
    AppDelegate delegate(context);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}

MainWindows* AppDelegate::mainWindows()
{
    if (!mainWindows_) {
        mainWindows_ = std::make_unique<MainWindows>(context_);
        connect(mainWindows_.get(), &MainWindows::howToUseRequested, this, &AppDelegate::HowToUse);
        connect(mainWindows_.get(), &MainWindows::openZFSRequested, this, &AppDelegate::OpenZFSonOSX);
        connect(mainWindows_.get(), &MainWindows::disclaimerRequested, this, &AppDelegate::Disclaimer);
    }
    return mainWindows_.get();
}

::Disclaimer* AppDelegate::disclaimerWindow()
{
    if (!disclaimerWindow_)
        disclaimerWindow_ = std::make_unique<::Disclaimer>();
    return disclaimerWindow_.get();
}

void AppDelegate::applicationDidFinishLaunching()
{
    mainWindows()->show();
    mainWindows()->startWindows();
}

void AppDelegate::HowToUse()
{
    mainWindows()->Help();
}

void AppDelegate::OpenZFSonOSX()
{
    QDesktopServices::openUrl(HelpPages::openZFSInstallUrl());
}

void AppDelegate::Disclaimer()
{
    disclaimerWindow()->showWindow();
}
