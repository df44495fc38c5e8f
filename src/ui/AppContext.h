#pragma once
#include "base/NotificationCenter.h"
#include "zpool/OpenZFSCheck.h"

class BayMemory;
class DesktopNotifier;
class Registry;
class SerialWorker;
class VolumeWatch;
class DiskEjector;

// The platform services the controllers use; the application fills it with
// the real ones, tests with fakes. Nothing here is owned.
struct AppContext {
    Registry* registry = nullptr;
    VolumeWatch* volumeWatch = nullptr;
    DiskEjector* diskEjector = nullptr;
    BayMemory* bayMemory = nullptr;  // none: missing members are placed without memory
    NotificationCenter* center = &NotificationCenter::defaultCenter();
    // Runs every window's tools off the GUI thread, one at a time; none: each
    // window makes its own.
    SerialWorker* worker = nullptr;
    // Tells the desktop what the health watch finds; none: the main window
    // makes one on the session bus.
    DesktopNotifier* notifier = nullptr;
    OpenZFSProbePaths probePaths;
    QString dfPath = QStringLiteral("/bin/df");
};
