// The user's story on the sandbox: a virtual enclosure on the real zfs-fuse,
// the real controllers offscreen, driven as a user drives them (clicks,
// typing, answering alerts), checking what the user sees at each step.
#include "create/PoolMountPoint.h"
#include "devices/DiskEjector.h"
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
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const QStringList kBays = {"Slot-A", "Slot-B", "Slot-C", "Slot-D"};

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

bool isRed(const QTableView* view, int row)
{
    return view->model()->index(row, 0).data(Qt::ForegroundRole).value<QBrush>().color() == QColor(Qt::red);
}

// A click on a table row, as the user makes it.
void clickRow(QTableView* view, int row, Qt::KeyboardModifiers modifiers = {})
{
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(index).center());
    QApplication::processEvents();
}

// A sandbox enclosure with its four disks, the main window on it, and the name
// of the test's pool, which is destroyed at the end if it still exists.
class Story : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Sandbox::canRun())
            GTEST_SKIP() << "needs root and /dev/fuse";
        sandbox_.down();  // what an interrupted run left
        const auto up = sandbox_.up(enclosures_, 300, QStringLiteral("128M"));
        ASSERT_TRUE(up.ok()) << up.err.toStdString();
        if (zpool({"list"}).contains("connect"))
            GTEST_SKIP() << "the zfs-fuse daemon is not running (tools/zfs-daemon start)";
        pool_ = QStringLiteral("e2e%1").arg(getpid());
        for (const QString& bay : kBays)
            disk_[bay] = sandbox_.diskIn(bay);
        photos_ = pool_ + QStringLiteral("photos");
        memory_ = std::make_unique<BayMemory>(memoryDir_.filePath("bays.json"));
        context_.bayMemory = memory_.get();
        registry_ = std::make_unique<FixtureRegistry>(sandbox_.fixture());
        ASSERT_TRUE(registry_->errorString().isEmpty()) << registry_->errorString().toStdString();
        context_.center = &center_;
        context_.worker = &worker_;
        context_.registry = registry_.get();
        context_.volumeWatch = &volumeWatch_;
        context_.diskEjector = &ejector_;
        win_ = std::make_unique<MainWindows>(context_);
        win_->show();
        win_->startWindows();
        ASSERT_TRUE(waitUntil([&] { return win_->isStarted(); }));
        settle();
        ASSERT_TRUE(win_->hasOpenZFS() && win_->ZFSInstalled()) << "the OpenZFS check failed";
        ASSERT_TRUE(alerts().isEmpty());
    }

    void TearDown() override
    {
        if (win_) {
            for (QMessageBox* b : win_->findChildren<QMessageBox*>())
                b->close();
            QApplication::processEvents();
            win_.reset();
        }
        for (const QString& pool : {pool_, photos_}) {
            if (pool.isEmpty())
                continue;
            if (!zpool({"list"}).contains(pool) && zpool({"import"}).contains(pool))
                zpool({"import", "-f", pool});
            // zfs-fuse calls a pool busy for a moment after an import or a resilver.
            for (int attempt = 0; attempt < 5 && zpool({"list"}).contains(pool); ++attempt) {
                zpool({"destroy", "-f", pool});
                if (zpool({"list"}).contains(pool))
                    QTest::qWait(1000);
            }
        }
        if (Sandbox::canRun()) {
            const auto down = sandbox_.down();
            EXPECT_TRUE(down.ok()) << down.err.toStdString();
        }
    }

    static QString zpool(const QStringList& args) { return runTool(realZpoolPath(), args); }

    // A one-disk set with a file on it, ejected: what must survive everything else.
    void makeEjectedPhotos(const QString& disk)
    {
        zpool({"create", "-f", photos_, "/dev/" + disk});
        const std::optional<QString> mount = PoolMountPoint::find(photos_);
        ASSERT_TRUE(mount) << zpool({"list"}).toStdString();
        QFile keep(*mount + "/keep.txt");
        ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
        keep.write("summer 2026\n");
        keep.close();
        zpool({"export", photos_});
        ASSERT_TRUE(zpool({"import"}).contains(photos_));
    }
    // photos imports and still holds its file.
    void expectPhotosIntact()
    {
        zpool({"import", photos_});
        const std::optional<QString> mount = PoolMountPoint::find(photos_);
        ASSERT_TRUE(mount) << zpool({"import"}).toStdString();
        QFile keep(*mount + "/keep.txt");
        ASSERT_TRUE(keep.open(QIODevice::ReadOnly));
        EXPECT_EQ(keep.readAll(), "summer 2026\n");
    }

    int enclosures_ = 1;
    Sandbox sandbox_{QStringLiteral("e2e")};
    QString pool_, photos_;
    QMap<QString, QString> disk_;


    RaidTableViewController* view() const { return win_->raidTableViewCtrl(); }
    QTableView* poolList() const { return view()->RaidListView(); }
    QTableView* memberTable() const { return view()->RaidStatusView(); }
    QList<QMessageBox*> alerts() const { return openAlerts(win_.get()); }

    int poolRow() const
    {
        for (int r = 0; r < poolList()->model()->rowCount(); ++r) {
            if (cell(poolList(), r, "Name") == pool_)
                return r;
        }
        return -1;
    }
    QString health() const { return poolRow() < 0 ? QString() : cell(poolList(), poolRow(), "Health"); }
    void clickPool()
    {
        ASSERT_GE(poolRow(), 0) << "no row for " << pool_.toStdString();
        clickRow(poolList(), poolRow());
    }
    // "disk300 ONLINE Slot-A" per member row, as the member table shows them.
    QStringList members() const
    {
        QStringList out;
        for (int r = 0; r < memberTable()->model()->rowCount(); ++r)
            out << cell(memberTable(), r, "Name") + " " + cell(memberTable(), r, "Status") + " " +
                       cell(memberTable(), r, "Slot");
        return out;
    }
    QString member(const QString& bay, const QString& state = "ONLINE") const
    {
        return disk_.value(bay) + " " + state + " " + bay;
    }
    void clickUpdate()
    {
        view()->UpdateBtn()->click();
        settle();
    }
    void settle() { ASSERT_TRUE(::settle(worker_, 60000)); }

    // The member table's rows of a pool, as members() shows them.
    QStringList membersOf(const QString& pool)
    {
        for (int r = 0; r < poolList()->model()->rowCount(); ++r) {
            if (cell(poolList(), r, "Name") == pool)
                clickRow(poolList(), r);
        }
        return members();
    }
    // Tarnwell reads the registry again once the file settles.
    bool scanSees(const QString& disk)
    {
        VRLScanDevice scan(*registry_);
        scan.setDfRunner([] { return QString(); });
        scan.scanTBDevice();
        for (const auto& e : scan.tbArray())
            for (const auto& d : e->hddArray)
                if (d->devPath == "/dev/" + disk)
                    return true;
        return false;
    }
    void pull(const QString& bay, int enclosure)
    {
        const QString disk = sandbox_.diskIn("Slot-" + bay, enclosure);
        ASSERT_TRUE(sandbox_.pull(bay, enclosure).ok());
        ASSERT_TRUE(waitUntil([&] { return !scanSees(disk); }));
    }
    // The wizard from the selected member to the rebuild: the user swaps the
    // disk by putting a new one into `bay` of `enclosure`. Returns the new disk.
    QString replaceThroughWizard(int memberRow, const QString& step3, const QString& bay, int enclosure)
    {
        clickRow(memberTable(), memberRow);
        EXPECT_TRUE(view()->ReplaceBtn()->isEnabled());
        view()->ReplaceBtn()->click();
        settle();
        press(alerts().value(0), "Eject");
        EXPECT_TRUE(waitUntil([&] { return alerts().size() == 1 && alerts().first()->text().endsWith("Step 2"); }, 30000));
        EXPECT_FALSE(zpool({"list"}).contains(pool_)) << "ejected before the cable is pulled";
        EXPECT_TRUE(sandbox_.cable(false, enclosure).ok());
        press(alerts().value(0), "OK");
        EXPECT_EQ(alerts().value(0)->informativeText(),
                  step3 + " When done, reconnect the Thunderbolt cable and then click OK to start rebuilding the RAID set.");
        const auto inserted = sandbox_.insert(bay, enclosure);
        EXPECT_TRUE(inserted.ok()) << inserted.err.toStdString();
        const QString fresh = inserted.out.trimmed();
        EXPECT_TRUE(sandbox_.cable(true, enclosure).ok());
        EXPECT_TRUE(waitUntil([&] { return scanSees(fresh); }));
        press(alerts().value(0), "OK");
        return fresh;
    }
    // Update until the set is whole again with these members.
    void expectHealed(const QStringList& healed)
    {
        bool whole = false;
        for (int i = 0; i < 60 && !whole; ++i) {  // resilvering a small set takes seconds
            clickUpdate();
            whole = poolRow() >= 0 && health() == "ONLINE" && membersOf(pool_) == healed;
            if (!whole)
                QTest::qWait(1000);
        }
        EXPECT_TRUE(whole) << health().toStdString() << ": " << members().join(", ").toStdString() << "\n"
                           << zpool({"status", pool_}).toStdString();
        EXPECT_TRUE(alerts().isEmpty());
    }

    QTemporaryDir memoryDir_;
    std::unique_ptr<BayMemory> memory_;
    NotificationCenter center_;
    std::unique_ptr<FixtureRegistry> registry_;
    ManualVolumeWatch volumeWatch_;
    DiskEjector ejector_;
    SerialWorker worker_;
    AppContext context_;
    std::unique_ptr<MainWindows> win_;
};

TEST_F(Story, CreateEjectMountAndDeleteARaidZ)
{
    // New opens the device window; the enclosure and its four blank disks are there.
    view()->NewBtn()->click();
    TBInfoWindow* device = win_->tbInfoWindow();
    ASSERT_TRUE(waitUntil([&] { return device->isVisible(); }));
    settle();
    DiskTableViewController* panel = device->diskTableViewCtrl();
    panel->TBDevPopup()->setFocus();
    QTest::keyClick(panel->TBDevPopup(), Qt::Key_Down);  // the user picks the enclosure
    QTableView* disks = panel->DiskListView();
    ASSERT_TRUE(waitUntil([&] { return disks->model()->rowCount() == 4; }));
    const DiskTableModel* dm = panel->diskModel();
    QMap<QString, int> rowOfBay;
    for (int r = 0; r < 4; ++r) {
        const QString bay = dm->index(r, dm->columnOf("Slot")).data().toString();
        rowOfBay[bay] = r;
        EXPECT_EQ(dm->index(r, dm->columnOf("DiskPath")).data().toString(), "/dev/" + disk_.value(bay));
    }
    ASSERT_EQ(rowOfBay.keys(), kBays);

    // Three disks, Slot-A to Slot-C: RAID-Z is preset and Create is offered.
    clickRow(disks, rowOfBay["Slot-A"]);
    clickRow(disks, rowOfBay["Slot-B"], Qt::ControlModifier);
    clickRow(disks, rowOfBay["Slot-C"], Qt::ControlModifier);
    EXPECT_EQ(panel->RaidModePopup()->currentText(), "RAID-Z");
    ASSERT_TRUE(panel->CreateBtn()->isEnabled());
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
    clickPool();
    EXPECT_EQ(members(), (QStringList{member("Slot-A"), member("Slot-B"), member("Slot-C")}));

    // Eject: listed as ejected, and Mount is what is offered now.
    for (const bool behindOurBack : {true, false}) {
        clickPool();
        view()->EjectBtn()->click();
        ASSERT_TRUE(waitUntil([&] { return health() == "EJECTED"; }, 30000));
        EXPECT_FALSE(zpool({"list"}).contains(pool_));
        clickPool();
        EXPECT_TRUE(view()->MountBtn()->isEnabled());
        if (!behindOurBack)
            break;
        // Someone imports it meanwhile: Mount fails with zpool's words, and
        // the list shows the set as it now is.
        zpool({"import", pool_});
        view()->MountBtn()->click();
        settle();
        ASSERT_EQ(alerts().size(), 1);
        EXPECT_EQ(alerts().first()->text(), pool_ + " could not be mounted");
        press(alerts().first(), "OK");
        EXPECT_EQ(health(), "ONLINE");
    }

    // Mount: healthy again, with its members.
    view()->MountBtn()->click();
    ASSERT_TRUE(waitUntil([&] { return health() == "ONLINE"; }, 30000));
    clickPool();
    EXPECT_EQ(members(), (QStringList{member("Slot-A"), member("Slot-B"), member("Slot-C")}));


    // Delete, confirmed: the set is gone. zfs-fuse may call a just-mounted
    // pool busy; a user would simply try again.
    for (int attempt = 0; attempt < 5 && poolRow() >= 0; ++attempt) {
        clickPool();
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
}

TEST_F(Story, AFailedDiskIsReplacedInItsBayAndTheEjectedSetNextToItSurvives)
{
    LogCapture log;
    ASSERT_NO_FATAL_FAILURE(makeEjectedPhotos(disk_["Slot-A"]));
    zpool({"create", "-f", pool_, "raidz", "/dev/" + disk_["Slot-B"], "/dev/" + disk_["Slot-C"], "/dev/" + disk_["Slot-D"]});
    clickUpdate();
    ASSERT_EQ(health(), "ONLINE");

    // The disk in Slot-D leaves: the member is red and shown where it was, not
    // in the bay of the ejected set's disk.
    ASSERT_NO_FATAL_FAILURE(pull("D", 1));
    clickUpdate();
    EXPECT_EQ(health(), "DEGRADED");
    ASSERT_EQ(membersOf(pool_), (QStringList{member("Slot-B"), member("Slot-C"), member("Slot-D", "OFFLINE")}));
    EXPECT_TRUE(isRed(memberTable(), 2));

    const QString fresh = replaceThroughWizard(2, "Replace the disk in Slot-D.", "D", 1);
    const QString replaced = QStringLiteral("REPLACE %1 %2 %3").arg(pool_, disk_["Slot-D"], fresh);
    ASSERT_TRUE(waitUntil([&] { return log.count(replaced) == 1; }, 30000)) << log.lines().join('\n').toStdString();
    disk_["Slot-D"] = fresh;
    expectHealed({member("Slot-B"), member("Slot-C"), member("Slot-D")});
    expectPhotosIntact();
}

class TwoEnclosures : public Story {
protected:
    TwoEnclosures() { enclosures_ = 2; }
    QString disk2(const QString& bay) const { return sandbox_.diskIn(bay, 2); }
};

TEST_F(TwoEnclosures, ErasingAsksFirstAndBaysNameTheirEnclosureOrSayUnknown)
{
    LogCapture log;
    // Enclosure 1: photos in Slot-A, ejected, Slot-B free. Enclosure 2: the set in Slot-A to C.
    ASSERT_NO_FATAL_FAILURE(makeEjectedPhotos(disk_["Slot-A"]));
    zpool({"create", "-f", pool_, "raidz", "/dev/" + disk2("Slot-A"), "/dev/" + disk2("Slot-B"), "/dev/" + disk2("Slot-C")});
    clickUpdate();
    ASSERT_EQ(health(), "ONLINE");
    EXPECT_EQ(membersOf(pool_).value(1), disk2("Slot-B") + " ONLINE Slot-B, enclosure 2");

    // A new set over the ejected one's disk: the device window says whose it
    // is, and Create asks first; Enter keeps the data.
    view()->NewBtn()->click();
    settle();
    TBInfoWindow* device = win_->tbInfoWindow();
    DiskTableViewController* panel = device->diskTableViewCtrl();
    panel->TBDevPopup()->setFocus();
    QTest::keyClick(panel->TBDevPopup(), Qt::Key_Down);
    const DiskTableModel* dm = panel->diskModel();
    ASSERT_EQ(dm->rowCount(), 4);
    EXPECT_EQ(dm->index(0, dm->columnOf("MountPoint")).data().toString(), photos_ + " (ejected)");
    clickRow(panel->DiskListView(), 0);
    clickRow(panel->DiskListView(), 1, Qt::ControlModifier);
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
    device->close();

    // Enclosure 2's Slot-C leaves: its bay names the enclosure, and only
    // enclosure 2's new disk is taken.
    ASSERT_NO_FATAL_FAILURE(pull("C", 2));
    clickUpdate();
    const QString gone = membersOf(pool_).value(2);
    EXPECT_TRUE(gone.endsWith("OFFLINE Slot-C, enclosure 2")) << gone.toStdString();
    QString fresh = replaceThroughWizard(2, "Replace the disk in Slot-C, enclosure 2.", "C", 2);
    ASSERT_TRUE(waitUntil([&] { return !log.lines().filter(QRegularExpression("^REPLACE .* " + fresh + "$")).isEmpty(); },
                          30000)) << log.lines().join('\n').toStdString();
    expectHealed({disk2("Slot-A") + " ONLINE Slot-A, enclosure 2", disk2("Slot-B") + " ONLINE Slot-B, enclosure 2",
                  fresh + " ONLINE Slot-C, enclosure 2"});

    // Forgotten bays and two empty ones: the gone member's bay is unknown, and
    // the one new disk, wherever the user puts it, is the replacement.
    memory_ = std::make_unique<BayMemory>(memoryDir_.filePath("forgotten.json"));
    context_.bayMemory = memory_.get();
    ASSERT_NO_FATAL_FAILURE(pull("D", 2));
    const QString lost = disk2("Slot-B");
    ASSERT_NO_FATAL_FAILURE(pull("B", 2));
    clickUpdate();
    EXPECT_EQ(membersOf(pool_).value(1), lost + " OFFLINE unknown");
    fresh = replaceThroughWizard(1, "Tarnwell does not know which bay holds " + lost + ". Replace that disk.", "D", 2);
    ASSERT_TRUE(waitUntil([&] { return log.count(QStringLiteral("REPLACE %1 %2 %3").arg(pool_, lost, fresh)) == 1; },
                          30000)) << log.lines().join('\n').toStdString();
    expectHealed({disk2("Slot-A") + " ONLINE Slot-A, enclosure 2", fresh + " ONLINE Slot-D, enclosure 2",
                  disk2("Slot-C") + " ONLINE Slot-C, enclosure 2"});
    expectPhotosIntact();
}

}  // namespace
