#pragma once
#include "ui/AppContext.h"

#include <QObject>

#include <memory>

class Disclaimer;
class MainWindows;

// The application's delegate: shows the main window once the event loop
// runs, and holds the application-level actions of the menu.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(AppContext& context, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Builds the delegate, shows the main window and runs the event loop
    // until the last window closes. Needs a QApplication.
    static int runApplication(AppContext& context);

    MainWindows* mainWindows();       // created on first use
    ::Disclaimer* disclaimerWindow();  // created on first use

    void applicationDidFinishLaunching();
    static bool applicationShouldTerminateAfterLastWindowClosed() { return true; }

    void HowToUse();
    void OpenZFSonOSX();
    void Disclaimer();

private:
    AppContext& context_;
    std::unique_ptr<MainWindows> mainWindows_;
    std::unique_ptr<::Disclaimer> disclaimerWindow_;
};
