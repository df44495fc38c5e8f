// The user's story on two sandbox enclosures and the real zfs-fuse: the real
// controllers offscreen, driven by clicks, typing and answers to alerts.
#include "create/PoolMountPoint.h"
#include "pools/BayMemory.h"
#include "support/LogCapture.h"
#include "support/MainWinHarness.h"
#include "support/QtPrinters.h"
#include "support/Sandbox.h"
#include "ui/DiskTableModel.h"
#include "ui/DiskTableViewController.h"
#include "ui/TBInfoWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The text a table shows in a row, under the column with that identifier.
QString cell(const QTableView* view, int row, const QString& identifier)
{
    const QAbstractItemModel* m = view->model();
    for (int c = 0; c < m->columnCount(); ++c) {
        if (m->headerData(c, Qt::Horizontal, Qt::UserRole).toString() == identifier)
            return m->index(row, c).data().toString();
    }
    ADD_FAILURE() << "no column " << identifier.toStdString();
    return {};
}

void clickRow(QTableView* view, int row, Qt::KeyboardModifiers modifiers = {})
{
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(index).center());
    QApplication::processEvents();
}

QString zpool(const QStringList& args) { return RealZpool::run(args); }

// The main window on the sandbox; photos is a one-disk set in enclosure 1's
// Slot-A, ejected: what must survive everything else.
class Story : public OnSandbox {
protected:
    Story() : OnSandbox("e2e", 2, 300) {}
    void SetUp() override
    {
        OnSandbox::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        pools << pool_;
        ASSERT_NO_FATAL_FAILURE(createPool(photos_, {disk("Slot-A")}));
        const std::optional<QString> mount = PoolMountPoint::find(photos_);
        ASSERT_TRUE(mount) << zpool({"list"}).toStdString();
        ASSERT_TRUE(writeFile(*mount + "/keep.txt", "summer 2026\n"));
        zpool({"export", photos_});

        // The real platform but for the registry, which is the sandbox's.
        memory_ = std::make_unique<BayMemory>(memoryDir_.filePath("bays.json"));
        registry_ = std::make_unique<FixtureRegistry>(fixture());
        h_.context = {registry_.get(), &h_.volumeWatch, &ejector_, memory_.get(), &h_.center, &h_.worker,
                      nullptr, OpenZFSProbePaths(), AppContext().dfPath};
        w_ = std::make_unique<StartedMainWindow>(h_);
        ASSERT_TRUE(w_->win->hasOpenZFS() && w_->win->ZFSInstalled()) << "the OpenZFS check failed";
    }
    void TearDown() override
    {
        w_.reset();
        OnSandbox::TearDown();
    }

    RaidTableViewController* view() const { return w_->pools(); }
    QTableView* poolList() const { return view()->RaidListView(); }
    QTableView* memberTable() const { return view()->RaidStatusView(); }
    QList<QMessageBox*> alerts() const { return w_->alerts(); }
    void settle() { ASSERT_TRUE(::settle(h_.worker, 60000)); }
    void clickUpdate() { view()->UpdateBtn()->click(); settle(); }

    int poolRow() const
    {
        for (int r = 0; r < poolList()->model()->rowCount(); ++r) {
            if (cell(poolList(), r, "Name") == pool_)
                return r;
        }
        return -1;
    }
    QString health() const { return poolRow() < 0 ? QString() : cell(poolList(), poolRow(), "Health"); }
    // The set's members, "disk301 ONLINE Slot-A, enclosure 2" a row, as the member table shows them.
    QStringList members()
    {
        if (poolRow() >= 0)
            clickRow(poolList(), poolRow());
        QStringList out;
        for (int r = 0; r < memberTable()->model()->rowCount(); ++r)
            out << cell(memberTable(), r, "Name") + " " + cell(memberTable(), r, "Status") + " " +
                       cell(memberTable(), r, "Slot");
        return out;
    }
    QString member(const QString& bay, const QString& name = {}) const
    {
        return (name.isEmpty() ? diskIn(bay, 2) : name) + " ONLINE " + bay + ", enclosure 2";
    }

    const QString pool_ = QStringLiteral("e2e%1").arg(getpid()), photos_ = QStringLiteral("photos%1").arg(getpid());
    QTemporaryDir memoryDir_;
    std::unique_ptr<BayMemory> memory_;
    std::unique_ptr<FixtureRegistry> registry_;
    DiskEjector ejector_;
    MainWinHarness h_;
    std::unique_ptr<StartedMainWindow> w_;
};

TEST_F(Story, CreateReplaceAndDeleteWhileAnEjectedSetSurvives)
{
    LogCapture log;
    clickUpdate();  // the ejected set is known
    // New opens the device window; the next enclosure's disks are there, each in its bay.
    view()->NewBtn()->click();
    TBInfoWindow* device = w_->win->tbInfoWindow();
    ASSERT_TRUE(waitUntil([&] { return device->isVisible(); }));
    settle();
    DiskTableViewController* panel = device->diskTableViewCtrl();
    QTableView* disks = panel->DiskListView();
    const DiskTableModel* dm = panel->diskModel();
    QMap<QString, int> rowOfBay;
    auto nextEnclosure = [&](int enclosure) {
        panel->TBDevPopup()->setFocus();
        QTest::keyClick(panel->TBDevPopup(), Qt::Key_Down);
        ASSERT_EQ(disks->model()->rowCount(), 4);
        rowOfBay.clear();
        for (int r = 0; r < 4; ++r) {
            const QString bay = dm->index(r, dm->columnOf("Slot")).data().toString();
            rowOfBay[bay] = r;
            EXPECT_EQ(dm->index(r, dm->columnOf("DiskPath")).data().toString(), disk(bay, enclosure));
        }
        ASSERT_EQ(rowOfBay.keys(), (QStringList{"Slot-A", "Slot-B", "Slot-C", "Slot-D"}));
    };

    // A new set over the ejected one's disk: the device window says whose it
    // is, and Create asks first; Enter keeps the data.
    ASSERT_NO_FATAL_FAILURE(nextEnclosure(1));
    EXPECT_EQ(dm->index(rowOfBay["Slot-A"], dm->columnOf("MountPoint")).data().toString(), photos_ + " (ejected)");
    clickRow(disks, rowOfBay["Slot-A"]);
    clickRow(disks, rowOfBay["Slot-B"], Qt::ControlModifier);
    QTest::keyClicks(panel->RaidVolumeName(), "fresh");
    panel->CreateBtn()->click();
    settle();
    const QList<QMessageBox*> asked = openAlerts(device);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked.first()->informativeText().contains("holds the ejected RAID set " + photos_));
    QTest::keyClick(asked.first(), Qt::Key_Return);
    EXPECT_TRUE(openAlerts(device).isEmpty());
    EXPECT_TRUE(device->isVisible());
    EXPECT_FALSE(zpool({"list"}).contains("fresh"));

    // Enclosure 2, Slot-A to Slot-C: RAID-Z is preset and Create is offered.
    ASSERT_NO_FATAL_FAILURE(nextEnclosure(2));
    clickRow(disks, rowOfBay["Slot-A"]);
    clickRow(disks, rowOfBay["Slot-B"], Qt::ControlModifier);
    clickRow(disks, rowOfBay["Slot-C"], Qt::ControlModifier);
    EXPECT_EQ(panel->RaidModePopup()->currentText(), "RAID-Z");
    ASSERT_TRUE(panel->CreateBtn()->isEnabled());
    panel->RaidVolumeName()->clear();
    QTest::keyClicks(panel->RaidVolumeName(), pool_);
    // A slip in the options: zpool refuses in its own words, and the window
    // keeps the choice for another try.
    QTest::mouseClick(panel->EnableCheckBox(), Qt::LeftButton);
    panel->argTextFiled()->setText("-f -o tarnwell=1");
    panel->CreateBtn()->click();
    settle();
    const QList<QMessageBox*> refused = openAlerts(device);
    ASSERT_EQ(refused.size(), 1);
    EXPECT_EQ(refused.first()->text(), "The RAID set " + pool_ + " could not be created");
    EXPECT_TRUE(refused.first()->informativeText().contains("tarnwell")) << refused.first()->informativeText().toStdString();
    press(refused.first(), "OK");
    EXPECT_TRUE(device->isVisible());
    EXPECT_EQ(disks->selectionModel()->selectedRows().size(), 3);
    EXPECT_FALSE(zpool({"list"}).contains(pool_));
    QTest::mouseClick(panel->EnableCheckBox(), Qt::LeftButton);  // back to the default options
    panel->CreateBtn()->click();

    // The device window closes and the new set is listed, healthy, with its bays.
    ASSERT_TRUE(waitUntil([&] { return !device->isVisible(); }, 30000));
    ASSERT_TRUE(waitUntil([&] { return health() == "ONLINE"; }, 30000)) << zpool({"list"}).toStdString();
    EXPECT_EQ(cell(poolList(), poolRow(), "RaidMode"), "RaidZ");
    const QStringList created = {member("Slot-A"), member("Slot-B"), member("Slot-C")};
    EXPECT_EQ(members(), created);

    // Slot-C leaves: the member is red and its bay names the enclosure.
    const QString lost = diskIn("Slot-C", 2);
    ASSERT_TRUE(pull("C", 2).ok());
    registry_->reload();  // not after the watch's pause
    clickUpdate();
    EXPECT_EQ(health(), "DEGRADED");
    ASSERT_EQ(members().value(2), created.value(2).replace("ONLINE", "OFFLINE"));
    EXPECT_EQ(memberTable()->model()->index(2, 0).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));

    // Forgotten bays and two empty ones: the gone member's bay is unknown, and
    // the one new disk, wherever the user puts it, is the replacement; only
    // enclosure 2's new disk is taken.
    memory_ = std::make_unique<BayMemory>(memoryDir_.filePath("forgotten.json"));
    h_.context.bayMemory = memory_.get();
    ASSERT_TRUE(pull("D", 2).ok());
    registry_->reload();
    clickUpdate();
    EXPECT_EQ(members().value(2), lost + " OFFLINE unknown");
    // The wizard, to the rebuild: the user swaps the disk by putting a new one into Slot-D.
    clickRow(memberTable(), 2);
    ASSERT_TRUE(view()->ReplaceBtn()->isEnabled());
    view()->ReplaceBtn()->click();
    settle();
    press(alerts().value(0), "Eject");
    ASSERT_TRUE(waitUntil([&] { return alerts().size() == 1 && alerts().first()->text().endsWith("Step 2"); }, 30000));
    EXPECT_FALSE(zpool({"list"}).contains(pool_)) << "ejected before the cable is pulled";
    EXPECT_TRUE(cable(false, 2).ok());
    press(alerts().value(0), "OK");
    EXPECT_EQ(alerts().value(0)->informativeText(),
              "Tarnwell does not know which bay holds " + lost +
                  ". Replace that disk. When done, reconnect the Thunderbolt cable and then click OK to start "
                  "rebuilding the RAID set.");
    const auto inserted = insert("D", 2);
    ASSERT_TRUE(inserted.ok()) << inserted.err.toStdString();
    const QString fresh = inserted.out.trimmed();
    EXPECT_TRUE(cable(true, 2).ok());
    registry_->reload();
    press(alerts().value(0), "OK");
    ASSERT_TRUE(waitUntil([&] { return log.count(QStringLiteral("REPLACE %1 %2 %3").arg(pool_, lost, fresh)) == 1; },
                          30000)) << log.lines().join('\n').toStdString();
    // Update until the set is whole again; resilvering a small set takes seconds.
    const QStringList healed = {member("Slot-A"), member("Slot-B"), member("Slot-D", fresh)};
    for (int i = 0; i < 60 && !(health() == "ONLINE" && members() == healed); ++i) {
        QTest::qWait(1000);
        clickUpdate();
    }
    EXPECT_EQ(members(), healed) << zpool({"status", pool_}).toStdString();
    EXPECT_EQ(health(), "ONLINE");
    EXPECT_TRUE(alerts().isEmpty());

    // Delete, confirmed: the set is gone. zfs-fuse may call a just-mounted
    // pool busy; a user would simply try again.
    for (int attempt = 0; attempt < 5 && poolRow() >= 0; ++attempt) {
        clickRow(poolList(), poolRow());
        view()->DeleteBtn()->click();
        ASSERT_EQ(alerts().size(), 1);
        press(alerts().first(), "Delete");
        settle();
        for (QMessageBox* busy : alerts()) {  // shown, with zpool's words
            EXPECT_EQ(busy->text(), pool_ + " could not be deleted");
            busy->close();
        }
    }
    EXPECT_LT(poolRow(), 0);
    EXPECT_FALSE(zpool({"list"}).contains(pool_));
    EXPECT_FALSE(zpool({"import"}).contains(pool_)) << "destroyed, not merely ejected";

    // photos imports and still holds its file.
    zpool({"import", photos_});
    const std::optional<QString> mount = PoolMountPoint::find(photos_);
    ASSERT_TRUE(mount) << zpool({"import"}).toStdString();
    QFile keep(*mount + "/keep.txt");
    ASSERT_TRUE(keep.open(QIODevice::ReadOnly));
    EXPECT_EQ(keep.readAll(), "summer 2026\n");
}

}  // namespace
