#include "ui/DiskTableViewController.h"

#include "PanelFixture.h"
#include "base/Notifications.h"
#include "create/DiskList.h"
#include "create/RaidCreator.h"
#include "support/FakeTool.h"
#include "support/LogCapture.h"
#include "support/MainWinHarness.h"
#include "support/RecordingEjector.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QStringList DefaultArgs{"-f", "-o", "ashift=13", "-O", "casesensitivity=insensitive",
                              "-O", "normalization=formD"};


struct Panel : ::testing::Test {
    Panel()
    {
        context.center = &center;
        context.diskEjector = &ejector;
        context.worker = &worker;
        panel = std::make_unique<DiskTableViewController>(context);
        panel->setZpoolPath(zpool.path());
        panel->raidCreator().setChownPath(chown.path());
        panel->raidCreator().setOwner("alice:users");
        panel->raidCreator().setMountPointLookup([](const QString&) { return std::nullopt; });
        panel->raidCreator().setPoolsLookup([] { return PoolRefresh::Pools{}; });
        for (const QString& n : Notifications::HubNames)
            center.addObserver(n, nullptr, [this](const Notification& note) { posted << note.name; });
        panel->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    }

    // An enclosure with `count` disks, chosen the way the device window does it.
    void showDisks(int count, HddList disks = {})
    {
        for (int i = int(disks.size()); i < count; ++i)
            disks << makeDisk(80 + i, QStringLiteral("Slot-%1").arg(QChar('A' + i)));
        panel->updateTBDevPopUp({makeEnclosure("VR-4", disks)});
        panel->TBDevPopup()->setCurrentIndex(1);
        panel->setDiskInfo(disks);
        panel->ShowDiskList();
    }

    NotificationCenter center;
    RecordingEjector ejector;
    SerialWorker worker;
    AppContext context;
    FakeTool zpool{"zpool"};
    FakeTool chown{"chown"};
    std::unique_ptr<DiskTableViewController> panel;
    QStringList posted;
};
}  // namespace

TEST_F(Panel, InitialState)
{
    EXPECT_EQ(panel->argTextFiled()->text(), DefaultArgs.join(' '));
    EXPECT_FALSE(panel->CreateBtn()->isEnabled());
    EXPECT_TRUE(DiskList::current().isEmpty());
    // Every control can be named by assistive tools: its own text or a name.
    for (QWidget* w : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_FALSE(w->accessibleName().isEmpty() && w->property("text").toString().isEmpty())
            << w->objectName().toStdString();
}

TEST_F(Panel, PopUpRebuildKeepsNoChoiceAndOnlyTheUserPosts)
{
    for (const TBList& enclosures : {TBList{}, TBList{makeEnclosure("VR-4", {}, "a"), makeEnclosure("VR-4", {}, "b")}}) {
        showDisks(3);
        panel->updateTBDevPopUp(enclosures);
        EXPECT_EQ(panel->TBDevPopup()->count(), enclosures.size() + 1);
        EXPECT_EQ(panel->TBDevPopup()->currentIndex(), 0);
        EXPECT_EQ(panel->numberOfRowsInTableView(), 0);
    }
    posted.clear();
    panel->TBDevPopup()->setFocus();
    QTest::keyClick(panel->TBDevPopup(), Qt::Key_Down);
    EXPECT_EQ(posted, QStringList{"TBDevPopupChange"});
}

TEST_F(Panel, SelectionRulesFollowTheUsersClicks)
{
    showDisks(5);
    // The user picks STRIPED before every click; the preset must win on every change.
    const struct {
        int selected;
        std::array<bool, 3> entries;
        QString mode;
        bool create;
    } steps[] = {
        {1, {false, false, false}, "STRIPED", false},
        {2, {true, false, false}, "STRIPED", true},
        {3, {true, true, false}, "RAID-Z", true},
        {4, {true, true, true}, "RAID-Z", true},
        {5, {true, true, false}, "RAID-Z", true},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.selected);
        panel->RaidModePopup()->setCurrentIndex(0);
        clickRow(*panel, s.selected - 1);
        ASSERT_EQ(selectedRowCount(*panel), s.selected);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(panel->isModeEntryEnabled(i), s.entries[size_t(i)]) << i;
        EXPECT_EQ(panel->RaidModePopup()->currentText(), s.mode);
        EXPECT_EQ(panel->CreateBtn()->isEnabled(), s.create);
        EXPECT_EQ(panel->RaidVolumeName()->isReadOnly(), !s.create);
    }

    // Back to none: no Create.
    clickRow(*panel, 0, false);
    clickRow(*panel, 0);
    ASSERT_EQ(selectedRowCount(*panel), 0);
    EXPECT_FALSE(panel->CreateBtn()->isEnabled());
}

TEST_F(Panel, RescanOrOtherDisksWhileDisksAreSelected)
{
    showDisks(4);
    for (int row : {0, 1, 2})
        clickRow(*panel, row);
    QTest::keyClicks(panel->RaidVolumeName(), "Data");
    posted.clear();
    panel->updateTBDevPopUp({makeEnclosure("VR-4", {})});
    EXPECT_EQ(panel->numberOfRowsInTableView(), 0);
    EXPECT_TRUE(panel->RaidVolumeName()->isReadOnly());
    EXPECT_FALSE(panel->CreateBtn()->isEnabled());
    EXPECT_TRUE(posted.isEmpty());

    // Other disks shown under a selection drop it, and Create with it.
    showDisks(4);
    clickRow(*panel, 0);
    clickRow(*panel, 1);
    ASSERT_TRUE(panel->CreateBtn()->isEnabled());
    panel->setDiskInfo(HddList{makeDisk(90, "Slot-A"), makeDisk(91, "Slot-B")});
    panel->ShowDiskList();
    EXPECT_EQ(selectedRowCount(*panel), 0);
    EXPECT_FALSE(panel->CreateBtn()->isEnabled());
}

TEST_F(Panel, AdvancedOptionsCheckBoxAndDefault)
{
    showDisks(2);
    clickRow(*panel, 0);
    clickRow(*panel, 1);
    EXPECT_FALSE(panel->argTextFiled()->isEnabled());
    QTest::mouseClick(panel->EnableCheckBox(), Qt::LeftButton);
    EXPECT_TRUE(panel->argTextFiled()->isEnabled());
    panel->argTextFiled()->setText("-f");
    panel->DefaultBtn()->click();
    EXPECT_EQ(panel->argTextFiled()->text(), DefaultArgs.join(' '));

    // A change of selection disables the field until the box is clicked again.
    clickRow(*panel, 1);
    clickRow(*panel, 1);
    EXPECT_FALSE(panel->argTextFiled()->isEnabled());
    EXPECT_TRUE(panel->EnableCheckBox()->isChecked());
    QTest::mouseClick(panel->EnableCheckBox(), Qt::LeftButton);
    EXPECT_FALSE(panel->argTextFiled()->isEnabled());
}

TEST_F(Panel, CreateBuildsTheCommandFromThePanel)
{
    const QStringList disks{"/dev/disk80", "/dev/disk81", "/dev/disk82", "/dev/disk83"};
    const struct {
        QString name;
        std::vector<int> clicks;
        std::optional<int> mode;         // chosen after the clicks
        std::optional<QString> options;  // check box on with this text
        QStringList expected;            // after "create"; empty: nothing runs
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.join(' ').toStdString());
        showDisks(4);
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
            EXPECT_EQ(openAlerts(panel.get()).size(), c.name.isEmpty() ? 0 : 1);
            for (QMessageBox* b : openAlerts(panel.get()))
                b->close();
            EXPECT_TRUE(zpool.calls().isEmpty());
            EXPECT_TRUE(ejector.calls().isEmpty());
            EXPECT_EQ(selectedRowCount(*panel), 2);
            continue;
        }
        EXPECT_EQ(zpool.calls(), QList<QStringList>{QStringList{"create"} + c.expected});
        EXPECT_EQ(ejector.calls(), c.expected.filter(QRegularExpression("^/dev/")));
        EXPECT_EQ(posted, (QStringList{"ShowRAIDInfo", "CreateRAIDFinish"}));
        EXPECT_TRUE(chown.calls().isEmpty());  // no pool was mounted
    }
}

TEST_F(Panel, ADiskWithoutDevicePathNeverReachesTheTools)
{
    // Absent: no whole-disk media was found; "": the media has no BSD name.
    for (const std::optional<QString>& path : {std::optional<QString>(), std::optional<QString>("")}) {
        LogCapture log;
        const HddList disks{makeDisk(80, "Slot-A"), makeDisk(81, "Slot-B"), makeDisk(82, "Slot-C")};
        disks[1]->devPath = path;
        showDisks(3, disks);
        for (int row : {0, 1, 2})
            clickRow(*panel, row);
        panel->RaidVolumeName()->setText("Data");
        panel->CreateBtn()->click();
        ASSERT_TRUE(settle(worker));
        EXPECT_TRUE(ejector.calls().isEmpty());
        EXPECT_TRUE(zpool.calls().isEmpty());
        EXPECT_TRUE(posted.isEmpty());  // nothing was attempted; the window stays
        EXPECT_EQ(log.lines(), QStringList{"Create RAID refused: the disk in Slot-B has no device path"});
        const QList<QMessageBox*> alerts = openAlerts(panel.get());
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_TRUE(alerts.first()->informativeText().startsWith("The disk in Slot-B has no device name"));
        alerts.first()->close();
    }
}
