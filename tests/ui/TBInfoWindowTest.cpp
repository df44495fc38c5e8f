#include "ui/TBInfoWindow.h"

#include "PanelFixture.h"
#include "base/Notifications.h"
#include "create/RaidCreator.h"
#include "devices/FixtureRegistry.h"
#include "devices/VRLScanDevice.h"
#include "support/FakeTool.h"
#include "support/MainWinHarness.h"
#include "support/RecordingEjector.h"
#include "support/StandInElevator.h"
#include "ui/DiskTableModel.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

namespace {
const QString TwoEnclosures = QStringLiteral(TARNWELL_TEST_DATA "/registry/create-two-771.json");
const QString NoEnclosure = QStringLiteral(TARNWELL_TEST_DATA "/registry/none.json");

struct DeviceWindow : ::testing::Test {
    DeviceWindow()
    {
        useFixture(TwoEnclosures);
        registry = std::make_unique<FixtureRegistry>(fixture);
        context.registry = registry.get();
        context.diskEjector = &ejector;
        context.center = &center;
        context.worker = &worker;
        context.dfPath = df.path();  // prints nothing: no volume is mounted
        window = std::make_unique<TBInfoWindow>(context);
        window->setZpoolPath(zpool.path());

        // What the main window's hub does with the few names this window serves.
        center.addObserver(Notifications::TBDevPopupChange, nullptr,
                           [this](const Notification&) { window->TBDevPopupChange(); });
        center.addObserver(Notifications::NoVolumeNameOfRAID, nullptr,
                           [this](const Notification&) { window->NoVolumeNameOfRAID(); });
        center.addObserver(Notifications::CreateRAIDFinish, nullptr,
                           [this](const Notification&) { window->close(); });
        for (const QString& n : Notifications::HubNames)
            center.addObserver(n, nullptr, [this](const Notification& note) { posted << note.name; });
    }

    void useFixture(const QString& source)
    {
        QFile::remove(fixture);
        QFile::copy(source, fixture);
        if (registry)
            registry->reload();
    }
    void show()
    {
        window->showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(settle(worker));
        panel()->raidCreator().setChownPath(chown.path());
    }
    DiskTableViewController* panel() const { return window->diskTableViewCtrl(); }
    // Picks pop-up entry k with the keyboard, as a user would.
    void chooseEnclosure(int k)
    {
        QComboBox* popup = panel()->TBDevPopup();
        popup->setFocus();
        while (popup->currentIndex() != k)
            QTest::keyClick(popup, popup->currentIndex() < k ? Qt::Key_Down : Qt::Key_Up);
    }
    QStringList shownDisks() const
    {
        const DiskTableModel* model = panel()->diskModel();
        QStringList paths;
        for (int row = 0; row < model->rowCount(); ++row)
            paths << model->index(row, model->columnOf("DiskPath")).data().toString();
        return paths;
    }

    QTemporaryDir dir;
    QString fixture = dir.filePath("registry.json");
    std::unique_ptr<FixtureRegistry> registry;
    FakeTool df{"df"};
    FakeTool zpool{"zpool"};
    FakeTool chown{"chown"};
    RecordingEjector ejector;
    NotificationCenter center;
    SerialWorker worker;
    AppContext context;
    std::unique_ptr<TBInfoWindow> window;
    QStringList posted;
};
}  // namespace

TEST_F(DeviceWindow, HotPlugIsWatchedFromTheFirstShow)
{
    useFixture(NoEnclosure);
    useFixture(TwoEnclosures);  // attached while nothing watches
    QTest::qWait(50);
    EXPECT_FALSE(posted.contains(Notifications::TBDeviceAttached));

    useFixture(NoEnclosure);
    show();
    EXPECT_EQ(panel()->TBDevLabel()->text(), "Varnelo Storage Device :");
    EXPECT_EQ(panel()->TBDevPopup()->count(), 1);
    useFixture(TwoEnclosures);
    QTRY_VERIFY(posted.contains(Notifications::TBDeviceAttached));
    // The hub rescans; until then the window shows what it had.
    EXPECT_EQ(panel()->TBDevPopup()->count(), 1);
    window->rescanDevice();
    ASSERT_TRUE(settle(worker));
    EXPECT_EQ(panel()->TBDevPopup()->count(), 3);
}

TEST_F(DeviceWindow, EntriesStandForTheirPositionInTheScan)
{
    show();
    chooseEnclosure(2);
    EXPECT_EQ(shownDisks(), (QStringList{"/dev/disk80", "/dev/disk81", "/dev/disk82", "/dev/disk83"}));
    chooseEnclosure(1);
    EXPECT_EQ(shownDisks(), (QStringList{"/dev/disk84", "/dev/disk85", "/dev/disk86"}));
    chooseEnclosure(0);  // the placeholder leaves the table as it is
    EXPECT_EQ(shownDisks(), (QStringList{"/dev/disk84", "/dev/disk85", "/dev/disk86"}));
    EXPECT_EQ(posted.count(Notifications::TBDevPopupChange), 4);  // one per key press

    // Someone else rescans this window's scanner without rebuilding the pop-up:
    // an entry keeps its enclosure.
    useFixture(NoEnclosure);
    window->ScanDevice().resetArray("RADade");
    window->ScanDevice().scanTBDevice();
    ASSERT_TRUE(window->ScanDevice().tbArray().isEmpty());
    chooseEnclosure(2);
    EXPECT_EQ(shownDisks(), (QStringList{"/dev/disk80", "/dev/disk81", "/dev/disk82", "/dev/disk83"}));
}

TEST_F(DeviceWindow, CancelledAuthorizationTouchesNoDisk)
{
    StandInElevator elevator;
    elevator.answer("cancel");  // the password dialog is dismissed
    // Were the pool mounted, only a skipped ownership step would keep chown away.
    show();
    panel()->raidCreator().setMountPointLookup([this](const QString& name) -> std::optional<QString> {
        return ejector.calls().isEmpty() ? std::nullopt : std::optional<QString>("/" + name);
    });
    chooseEnclosure(2);
    clickRow(*panel(), 0);
    clickRow(*panel(), 1);
    panel()->RaidVolumeName()->setText("Data");
    posted.clear();
    panel()->CreateBtn()->click();
    ASSERT_TRUE(settle(worker));

    // Dismissed at the scan for ejected sets, before anything is ejected or created.
    EXPECT_EQ(elevator.asked(), 1);
    EXPECT_TRUE(ejector.calls().isEmpty());
    for (const QStringList& call : zpool.calls())
        EXPECT_NE(call.value(0), "create");
    EXPECT_TRUE(chown.calls().isEmpty());
    posted.removeAll("ZpoolCMDFinish");
    EXPECT_EQ(posted, (QStringList{"ShowRAIDInfo", "CreateRAIDFinish"}));
    EXPECT_FALSE(window->isVisible());
}
