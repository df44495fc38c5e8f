// The device window and its create-RAID panel on a fixture registry, a fake
// zpool and a recording ejector.
#include "ui/TBInfoWindow.h"

#include "PanelFixture.h"
#include "create/RaidCreator.h"
#include "support/MainWinHarness.h"
#include "support/QtPrinters.h"
#include "support/StandInElevator.h"
#include "ui/DiskTableModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString TwoEnclosures = QStringLiteral(TARNWELL_TEST_DATA "/registry/create-two-771.json");
const QString NoEnclosure = QStringLiteral(TARNWELL_TEST_DATA "/registry/none.json");
const QStringList DefaultArgs{"-f", "-o", "ashift=13", "-O", "casesensitivity=insensitive",
                              "-O", "normalization=formD"};

// Disk n, blank, in bay A + n % 10.
VRLHddInfoPtr makeDisk(int n)
{
    auto d = std::make_shared<VRLHddInfo>();
    d->hddSN = QStringLiteral("SN%1").arg(n);
    d->devPath = QStringLiteral("/dev/disk%1").arg(n);
    d->slotPath = QStringLiteral("Slot-%1").arg(QChar('A' + n % 10));
    d->diskSize = 4000787030016;
    d->isUnFormated = true;
    return d;
}
VRLThunderboltInfoPtr enclosure(const QString& path, const HddList& disks = {})
{
    auto e = std::make_shared<VRLThunderboltInfo>();
    e->moduleName = "VR-4";
    e->tbPath = path;
    e->hddArray = disks;
    return e;
}

struct DeviceWindow : ::testing::Test, MainWinHarness {
    DeviceWindow()
    {
        useFixture(TwoEnclosures);
        window = std::make_unique<TBInfoWindow>(context);
        window->setZpoolPath(zpool.path());
        // The one name of the main window's hub this window needs.
        center.addObserver(Notifications::TBDevPopupChange, nullptr,
                           [this](const Notification&) { window->TBDevPopupChange(); });
        for (const QString& n : Notifications::HubNames)
            center.addObserver(n, nullptr, [this](const Notification& note) { posted << note.name; });
    }
    void useFixture(const QString& source)
    {
        QFile::remove(registry->jsonPath());
        QFile::copy(source, registry->jsonPath());
        registry->reload();
    }
    void show()
    {
        window->showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(settle(worker));
        panel = window->diskTableViewCtrl();
        panel->raidCreator().setChownPath(chown.path());
        panel->raidCreator().setOwner("alice:users");
        panel->raidCreator().setMountPointLookup([](const QString&) { return std::nullopt; });
    }
    // Picks pop-up entry k with the keyboard, as a user would.
    void chooseEnclosure(int k)
    {
        QComboBox* popup = panel->TBDevPopup();
        popup->setFocus();
        while (popup->currentIndex() != k)
            QTest::keyClick(popup, popup->currentIndex() < k ? Qt::Key_Down : Qt::Key_Up);
    }
    // Disks 80.. in an enclosure of their own, chosen the way the window does it.
    void showDisks(int count, HddList disks = {})
    {
        for (int i = int(disks.size()); i < count; ++i)
            disks << makeDisk(80 + i);
        panel->updateTBDevPopUp({enclosure("VR-4", disks)});
        panel->TBDevPopup()->setCurrentIndex(1);
        panel->setDiskInfo(disks);
        panel->ShowDiskList();
    }
    // The first disk shown and how many there are.
    QString shownDisks() const
    {
        const DiskTableModel* m = panel->diskModel();
        return m->index(0, m->columnOf("DiskPath")).data().toString() + QStringLiteral(" x%1").arg(m->rowCount());
    }
    int selected() const { return int(panel->DiskListView()->selectionModel()->selectedRows().size()); }

    FakeTool chown{"chown"};
    std::unique_ptr<TBInfoWindow> window;
    DiskTableViewController* panel = nullptr;
    QStringList posted;
};
}  // namespace

TEST_F(DeviceWindow, HotPlugIsWatchedOnceShownAndEntriesFollowTheScan)
{
    useFixture(NoEnclosure);
    show();
    EXPECT_EQ(panel->TBDevPopup()->count(), 1);
    useFixture(TwoEnclosures);
    QTRY_VERIFY(posted.contains(Notifications::TBDeviceAttached));
    window->rescanDevice();  // as the hub does
    ASSERT_TRUE(settle(worker));
    EXPECT_EQ(panel->TBDevPopup()->count(), 3);

    // Every control can be named by assistive tools: its own text or a name.
    for (QWidget* w : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_FALSE(w->accessibleName().isEmpty() && w->property("text").toString().isEmpty())
            << w->objectName().toStdString();
    // Entries stand for their position in the scan.
    chooseEnclosure(2);
    EXPECT_EQ(shownDisks(), "/dev/disk80 x4");
    chooseEnclosure(1);
    EXPECT_EQ(shownDisks(), "/dev/disk84 x3");
    chooseEnclosure(0);  // the placeholder leaves the table as it is
    EXPECT_EQ(shownDisks(), "/dev/disk84 x3");
    EXPECT_EQ(posted.count(Notifications::TBDevPopupChange), 4);  // one per key press

    // A rescan under a selection keeps no choice and posts nothing.
    for (const TBList& enclosures : {TBList{}, TBList{enclosure("a"), enclosure("b")}}) {
        showDisks(3);
        clickRow(*panel, 0);
        clickRow(*panel, 1);
        posted.clear();
        panel->updateTBDevPopUp(enclosures);
        EXPECT_EQ(panel->TBDevPopup()->count(), enclosures.size() + 1);
        EXPECT_EQ(panel->TBDevPopup()->currentIndex(), 0);
        EXPECT_EQ(panel->numberOfRowsInTableView(), 0);
        EXPECT_FALSE(panel->CreateBtn()->isEnabled());
        EXPECT_TRUE(posted.isEmpty());
    }
}

TEST_F(DeviceWindow, SelectionRulesAndOptionsFollowTheUsersClicks)
{
    show();
    showDisks(5);
    // Mode entries, mode, Create and name field; the user picks STRIPED before
    // every click, and the preset must win on every change.
    const auto state = [this] {
        QString s;
        for (int i = 0; i < 3; ++i)
            s += panel->isModeEntryEnabled(i) ? '+' : '-';
        return s + " " + panel->RaidModePopup()->currentText() + (panel->CreateBtn()->isEnabled() ? " create" : "") +
               (panel->RaidVolumeName()->isReadOnly() ? "" : " name");
    };
    const char* steps[] = {"--- STRIPED", "+-- STRIPED create name", "++- RAID-Z create name",
                           "+++ RAID-Z create name", "++- RAID-Z create name"};
    for (int n = 1; n <= 5; ++n) {
        panel->RaidModePopup()->setCurrentIndex(0);
        clickRow(*panel, n - 1);
        ASSERT_EQ(selected(), n);
        EXPECT_EQ(state(), steps[n - 1]) << n;
    }
    // Other disks shown under a selection drop it, and Create with it.
    showDisks(2, HddList{makeDisk(90), makeDisk(91)});
    EXPECT_EQ(selected(), 0);
    EXPECT_FALSE(panel->CreateBtn()->isEnabled());
    EXPECT_TRUE(panel->RaidVolumeName()->isReadOnly());

    // The options field.
    showDisks(4);
    for (int row : {0, 1, 2})
        clickRow(*panel, row);
    EXPECT_FALSE(panel->argTextFiled()->isEnabled());
    QTest::mouseClick(panel->EnableCheckBox(), Qt::LeftButton);
    panel->argTextFiled()->setText("-f");
    panel->DefaultBtn()->click();
    EXPECT_EQ(panel->argTextFiled()->text(), DefaultArgs.join(' '));
    // A change of selection disables the field until the box is clicked again.
    clickRow(*panel, 1);
    EXPECT_FALSE(panel->argTextFiled()->isEnabled());
    QTest::mouseClick(panel->EnableCheckBox(), Qt::LeftButton);
    EXPECT_FALSE(panel->argTextFiled()->isEnabled());
    QTest::mouseClick(panel->EnableCheckBox(), Qt::LeftButton);
    EXPECT_TRUE(panel->argTextFiled()->isEnabled() && panel->DefaultBtn()->isEnabled());
    // Escape closes the window.
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(panel->RaidVolumeName(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(DeviceWindow, CreateBuildsTheCommandFromThePanel)
{
    show();
    panel->raidCreator().setPoolsLookup([] { return PoolRefresh::Pools{}; });
    const QStringList disks{"/dev/disk80", "/dev/disk81", "/dev/disk82", "/dev/disk83"};
    const struct {
        QString name;
        std::vector<int> clicks;
        std::optional<int> mode;         // chosen after the clicks
        std::optional<QString> options;  // check box on with this text
        QStringList expected;            // after "create"; empty: nothing runs
        int noPath = 0;                  // disk81's path: 1 absent, 2 empty
    } cases[] = {
        {"", {0, 1}, {}, {}, {}},
        {"Data", {0, 1, 2}, {}, {}, DefaultArgs + QStringList{"Data", "raidz"} + disks.mid(0, 3)},
        {"Data", {0, 1}, {}, {}, DefaultArgs + QStringList{"Data"} + disks.mid(0, 2)},
        {"Data", {0, 1, 2, 3}, 2, {}, DefaultArgs + QStringList{"Data", "raidz2"} + disks},
        {"Data", {0, 1, 2}, 0, {}, DefaultArgs + QStringList{"Data"} + disks.mid(0, 3)},
        {"-n", {0, 1}, {}, {}, {}},  // read as an option by zpool: refused with an alert
        {"Data", {0, 1, 2}, {}, QString("-f   -o ashift=12 "),
         QStringList{"-f", "-o", "ashift=12", "Data", "raidz"} + disks.mid(0, 3)},
        {"Data", {0, 1}, {}, QString(""), QStringList{"Data"} + disks.mid(0, 2)},
        {"Data", {2, 0}, {}, {}, DefaultArgs + QStringList{"Data", disks[0], disks[2]}},  // row order
        // No whole-disk media was found, or it has no device name: the window stays.
        {"Data", {0, 1}, {}, {}, {}, 1},
        {"Data", {0, 1}, {}, {}, {}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.join(' ').toStdString());
        HddList shown{makeDisk(80), makeDisk(81)};
        if (c.noPath)
            shown[1]->devPath = c.noPath == 1 ? std::nullopt : std::optional<QString>("");
        showDisks(4, shown);
        zpool.clearCalls();
        ejector.clear();
        posted.clear();
        for (int row : c.clicks)
            clickRow(*panel, row);
        if (c.mode)
            panel->RaidModePopup()->setCurrentIndex(*c.mode);
        panel->RaidVolumeName()->setText(c.name);
        // With the box off the text is not read at all.
        panel->argTextFiled()->setText(c.options.value_or("-n -o bogus=1"));
        if (panel->EnableCheckBox()->isChecked() != c.options.has_value())
            QTest::mouseClick(panel->EnableCheckBox(), Qt::LeftButton);
        panel->CreateBtn()->click();
        ASSERT_TRUE(settle(worker));

        if (c.expected.isEmpty()) {
            EXPECT_EQ(posted, c.name.isEmpty() ? QStringList{"NoVolumeNameOfRAID"} : QStringList{});
            EXPECT_EQ(openAlerts(window.get()).size(), c.name.isEmpty() ? 0 : 1);
            for (QMessageBox* b : openAlerts(window.get())) {
                EXPECT_TRUE(!c.noPath || b->informativeText().startsWith("The disk in Slot-B has no device name"));
                b->close();
            }
            EXPECT_TRUE(zpool.calls().isEmpty());
            EXPECT_TRUE(ejector.calls().isEmpty());
            EXPECT_EQ(selected(), 2);
            continue;
        }
        EXPECT_EQ(zpool.calls(), QList<QStringList>{QStringList{"create"} + c.expected});
        EXPECT_EQ(ejector.calls(), c.expected.filter(QRegularExpression("^/dev/")));
        EXPECT_EQ(posted, (QStringList{"ShowRAIDInfo", "CreateRAIDFinish"}));
        EXPECT_TRUE(chown.calls().isEmpty());  // no pool was mounted
    }
}

TEST_F(DeviceWindow, CancelledAuthorizationTouchesNoDisk)
{
    StandInElevator elevator;
    elevator.answer("cancel");  // the password dialog is dismissed
    show();
    // Were the pool mounted, only a skipped ownership step would keep chown away.
    panel->raidCreator().setMountPointLookup([this](const QString& name) -> std::optional<QString> {
        return ejector.calls().isEmpty() ? std::nullopt : std::optional<QString>("/" + name);
    });
    chooseEnclosure(2);
    clickRow(*panel, 0);
    clickRow(*panel, 1);
    panel->RaidVolumeName()->setText("Data");
    posted.clear();
    panel->CreateBtn()->click();
    ASSERT_TRUE(settle(worker));

    // Dismissed at the scan for ejected sets, before anything is ejected or created.
    EXPECT_EQ(elevator.asked(), 1);
    EXPECT_TRUE(ejector.calls().isEmpty());
    for (const QStringList& call : zpool.calls())
        EXPECT_NE(call.value(0), "create");
    EXPECT_TRUE(chown.calls().isEmpty());
    posted.removeAll("ZpoolCMDFinish");
    EXPECT_EQ(posted, (QStringList{"ShowRAIDInfo", "CreateRAIDFinish"}));
}
