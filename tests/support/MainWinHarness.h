#pragma once
// The main window on a fake zpool, a fixture registry and a recording disk
// ejector, with helpers to answer its alerts.
#include "base/Notifications.h"
#include "devices/FixtureRegistry.h"
#include "devices/VRLScanDevice.h"
#include "pools/SerialWorker.h"
#include "support/FakeTool.h"
#include "support/RecordingEjector.h"
#include "support/RegistryFixture.h"
#include "ui/AppContext.h"
#include "ui/MainWindows.h"
#include "ui/RaidCreateView.h"
#include "ui/RaidTableViewController.h"
#include "zpool/ZpoolCMD.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

class ManualVolumeWatch : public VolumeWatch {
public:
    using VolumeWatch::VolumeWatch;
    void start() override { ++starts; }
    void emitChange(Change c) { emit volumesChanged(c); }
    int starts = 0;
};

inline QString mainwinData(const QString& name) { return QStringLiteral(TARNWELL_TEST_DATA "/mainwin/") + name; }

// Polls the event loop until `done` holds or `ms` pass.
inline bool waitUntil(const std::function<bool()>& done, int ms = 5000) { return QTest::qWaitFor(done, ms); }

// Until every job handed to the worker has its result delivered.
inline bool settle(SerialWorker& worker, int ms = 15000) { return QTest::qWaitFor([&] { return !worker.isBusy(); }, ms); }

// The alerts open on `window`, oldest first.
inline QList<QMessageBox*> openAlerts(QWidget* window)
{
    QList<QMessageBox*> boxes = window->findChildren<QMessageBox*>();
    boxes.removeIf([](const QMessageBox* b) { return !b->isVisible(); });
    return boxes;
}

inline void press(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* b : box->buttons()) {
        if (b->text() == text) {
            b->click();
            QApplication::processEvents();
            return;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
}

// The tests' zpool: canned outputs per subcommand, every call recorded.
struct MainWinHarness {
    NotificationCenter center;
    FakeTool zpool{QStringLiteral("zpool")};
    FakeTool df{QStringLiteral("df")};
    QTemporaryDir dir;
    std::unique_ptr<FixtureRegistry> registry;
    RecordingEjector ejector;
    ManualVolumeWatch volumeWatch;
    SerialWorker worker;
    AppContext context;

    explicit MainWinHarness(const QList<FixtureEnclosure>& enclosures = {}, bool zpoolPresent = true,
                            bool zfsDevicePresent = true)
    {
        const QString registryPath = dir.filePath(QStringLiteral("registry.json"));
        RegistryFixture::write(registryPath, enclosures);
        registry = std::make_unique<FixtureRegistry>(registryPath);
        context.center = &center;
        context.worker = &worker;
        context.registry = registry.get();
        context.diskEjector = &ejector;
        context.volumeWatch = &volumeWatch;
        context.dfPath = df.path();
        const QString absent = dir.filePath(QStringLiteral("absent"));
        context.probePaths.sbinZpool = zpoolPresent ? zpool.path() : absent + "-zpool";
        context.probePaths.localZpool = absent + "-local-zpool";
        context.probePaths.devZfs = zfsDevicePresent ? dir.filePath(QStringLiteral("zfs")) : absent + "-zfs";
        context.probePaths.zfsFuseSocket = absent + "-socket";
        if (zfsDevicePresent)
            writeFile(context.probePaths.devZfs, {});
        zpool.setOutput(QStringLiteral("list"), QStringLiteral("no pools available\n"));
        zpool.setOutput(QStringLiteral("status"), QStringLiteral("no pools available\n"));
        zpool.setOutput(QStringLiteral("import"), QStringLiteral("no pools available to import\n"));
    }

    void useOutputs(const QString& list, const QString& status, const QString& import = QString())
    {
        zpool.setOutputFromFile(QStringLiteral("list"), mainwinData(list));
        zpool.setOutputFromFile(QStringLiteral("status"), mainwinData(status));
        if (!import.isEmpty())
            zpool.setOutputFromFile(QStringLiteral("import"), mainwinData(import));
    }

    // Every zpool call but the refresh's own reading verbs.
    QList<QStringList> actions() const
    {
        QList<QStringList> result = zpool.calls();
        result.removeIf([](const QStringList& c) {
            return c.value(0) == QLatin1String("list") || c.value(0) == QLatin1String("status") ||
                   c == QStringList{QStringLiteral("import")};
        });
        return result;
    }
};

// The started main window of a harness.
struct StartedMainWindow {
    explicit StartedMainWindow(MainWinHarness& h, MainWindows* window = nullptr)
        : harness(h), win(window ? window : new MainWindows(h.context))
    {
        win->show();
        win->startWindows();
        EXPECT_TRUE(QTest::qWaitFor([this] { return win->isStarted(); }, 15000));
        settle();
    }
    void settle() { EXPECT_TRUE(::settle(harness.worker)); }
    ~StartedMainWindow()
    {
        for (QMessageBox* b : win->findChildren<QMessageBox*>())
            b->close();
        QApplication::processEvents();
    }
    RaidTableViewController* pools() const { return win->raidTableViewCtrl(); }

    void selectPool(int row) { pools()->RaidListView()->selectRow(row); QApplication::processEvents(); }
    void selectMember(int row) { pools()->RaidStatusView()->selectRow(row); QApplication::processEvents(); }
    int memberRow(const QString& diskName) const
    {
        const RaidStatusList members = pools()->RaidStateArray();
        const auto it =
            std::find_if(members.cbegin(), members.cend(), [&](const auto& m) { return m->DiskName == diskName; });
        return it == members.cend() ? -1 : int(it - members.cbegin());
    }
    QList<QMessageBox*> alerts() const { return openAlerts(win.get()); }

    MainWinHarness& harness;
    std::unique_ptr<MainWindows> win;
};
