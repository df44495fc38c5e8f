// The user's story on the sandbox: a virtual enclosure on the real zfs-fuse,
// the real controllers offscreen, driven as a user drives them (clicks,
// typing, answering alerts), checking what the user sees at each step.
#include "support/QtPrinters.h"
#include "create/widgets/DiskTableModel.h"
#include "create/widgets/DiskTableViewController.h"
#include "create/widgets/TBInfoWindow.h"
#include "devices/DiskEjector.h"
#include "support/LogCapture.h"
#include "support/MainWinHarness.h"
#include "support/Sandbox.h"

#include <QComboBox>
#include <QProcess>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>

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

// A sandbox enclosure with its four disks, and the name of the test's pool,
// which is destroyed at the end if it still exists.
class OnSandbox : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Sandbox::canRun())
            GTEST_SKIP() << "needs root and /dev/fuse";
        sandbox_.down();  // what an interrupted run left
        const auto up = sandbox_.up(1, 300, QStringLiteral("128M"));
        ASSERT_TRUE(up.ok()) << up.err.toStdString();
        if (zpool({"list"}).contains("connect"))
            GTEST_SKIP() << "the zfs-fuse daemon is not running (tools/zfs-daemon start)";
        pool_ = QStringLiteral("e2e%1").arg(getpid());
        for (const QString& bay : kBays)
            disk_[bay] = sandbox_.diskIn(bay);
    }

    void TearDown() override
    {
        if (!pool_.isEmpty()) {
            if (!zpool({"list"}).contains(pool_) && zpool({"import"}).contains(pool_))
                zpool({"import", "-f", pool_});
            // zfs-fuse calls a pool busy for a moment after an import or a resilver.
            for (int attempt = 0; attempt < 5 && zpool({"list"}).contains(pool_); ++attempt) {
                zpool({"destroy", "-f", pool_});
                if (zpool({"list"}).contains(pool_))
                    QTest::qWait(1000);
            }
        }
        if (Sandbox::canRun()) {
            const auto down = sandbox_.down();
            EXPECT_TRUE(down.ok()) << down.err.toStdString();
        }
    }

    void createPool()
    {
        const QString made = zpool({"create", "-f", pool_, "raidz", "/dev/" + disk_["Slot-A"],
                                    "/dev/" + disk_["Slot-B"], "/dev/" + disk_["Slot-C"]});
        ASSERT_TRUE(zpool({"list"}).contains(pool_)) << made.toStdString();
    }

    static QString zpool(const QStringList& args) { return runTool(realZpoolPath(), args); }

    Sandbox sandbox_{QStringLiteral("e2e")};
    QString pool_;
    QMap<QString, QString> disk_;
};

class Story : public OnSandbox {
protected:
    void SetUp() override
    {
        OnSandbox::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        registry_ = std::make_unique<FixtureRegistry>(sandbox_.fixture());
        ASSERT_TRUE(registry_->errorString().isEmpty()) << registry_->errorString().toStdString();
        context_.center = &center_;
        context_.registry = registry_.get();
        context_.volumeWatch = &volumeWatch_;
        context_.diskEjector = &ejector_;
        win_ = std::make_unique<MainWindows>(context_);
        win_->show();
        win_->startWindows();
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
        OnSandbox::TearDown();
    }


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
        QApplication::processEvents();
    }

    NotificationCenter center_;
    std::unique_ptr<FixtureRegistry> registry_;
    ManualVolumeWatch volumeWatch_;
    DiskEjector ejector_;
    AppContext context_;
    std::unique_ptr<MainWindows> win_;
};

TEST_F(Story, CreateEjectMountAndDeleteARaidZ)
{
    // New opens the device window; the enclosure and its four blank disks are there.
    view()->NewBtn()->click();
    TBInfoWindow* device = win_->tbInfoWindow();
    ASSERT_TRUE(waitUntil([&] { return device->isVisible(); }));
    DiskTableViewController* panel = device->diskTableViewCtrl();
    QComboBox* enclosures = panel->TBDevPopup();
    ASSERT_EQ(enclosures->count(), 2);
    EXPECT_EQ(enclosures->itemText(0), "Select an Varnelo Device");
    EXPECT_EQ(enclosures->itemText(1), "Varnelo Quad TB2");
    enclosures->setFocus();
    QTest::keyClick(enclosures, Qt::Key_Down);  // the user picks the enclosure
    QTableView* disks = panel->DiskListView();
    ASSERT_TRUE(waitUntil([&] { return disks->model()->rowCount() == 4; }));
    const DiskTableModel* dm = panel->diskModel();
    QMap<QString, int> rowOfBay;
    for (int r = 0; r < 4; ++r) {
        const QString bay = dm->index(r, dm->columnOf("Slot")).data().toString();
        rowOfBay[bay] = r;
        EXPECT_EQ(dm->index(r, dm->columnOf("DiskPath")).data().toString(), "/dev/" + disk_.value(bay));
        EXPECT_EQ(dm->index(r, dm->columnOf("Available")).data().toString(), "134.22 MB");
    }
    ASSERT_EQ(rowOfBay.keys(), kBays);

    // Three disks, Slot-A to Slot-C: RAID-Z is preset and Create is offered.
    clickRow(disks, rowOfBay["Slot-A"]);
    clickRow(disks, rowOfBay["Slot-B"], Qt::ControlModifier);
    clickRow(disks, rowOfBay["Slot-C"], Qt::ControlModifier);
    EXPECT_EQ(panel->RaidModePopup()->currentText(), "RAID-Z");
    ASSERT_TRUE(panel->CreateBtn()->isEnabled());
    QTest::keyClicks(panel->RaidVolumeName(), pool_);
    panel->CreateBtn()->click();

    // The device window closes and the new set is listed, healthy, with its bays.
    ASSERT_TRUE(waitUntil([&] { return !device->isVisible(); }, 30000));
    ASSERT_TRUE(waitUntil([&] { return health() == "ONLINE"; }, 30000)) << zpool({"list"}).toStdString();
    EXPECT_EQ(cell(poolList(), poolRow(), "RaidMode"), "RaidZ");
    EXPECT_FALSE(isRed(poolList(), poolRow()));
    clickPool();
    EXPECT_EQ(members(), (QStringList{member("Slot-A"), member("Slot-B"), member("Slot-C")}));
    for (int r = 0; r < 3; ++r)
        EXPECT_FALSE(isRed(memberTable(), r));
    EXPECT_TRUE(view()->EjectBtn()->isEnabled());
    EXPECT_FALSE(view()->MountBtn()->isEnabled());

    // Eject: listed as ejected, and Mount is what is offered now.
    view()->EjectBtn()->click();
    ASSERT_TRUE(waitUntil([&] { return health() == "EJECTED"; }, 30000));
    EXPECT_FALSE(zpool({"list"}).contains(pool_));
    EXPECT_FALSE(isRed(poolList(), poolRow()));
    clickPool();
    EXPECT_TRUE(view()->MountBtn()->isEnabled());
    EXPECT_FALSE(view()->EjectBtn()->isEnabled());
    EXPECT_TRUE(members().isEmpty());

    // Mount: healthy again, with its members.
    view()->MountBtn()->click();
    ASSERT_TRUE(waitUntil([&] { return health() == "ONLINE"; }, 30000));
    clickPool();
    EXPECT_EQ(members(), (QStringList{member("Slot-A"), member("Slot-B"), member("Slot-C")}));

    // Delete asks first; Cancel keeps the set.
    view()->DeleteBtn()->click();
    ASSERT_EQ(alerts().size(), 1);
    EXPECT_EQ(alerts().first()->text(), "Delete a RAID");
    EXPECT_EQ(alerts().first()->informativeText(),
              QStringLiteral("Deleting %1 will completely remove the RAID set and erase all existing data "
                             "on those drives. Are you sure?").arg(pool_));
    press(alerts().first(), "Cancel");
    view()->zpoolCmd()->waitForThreads();
    QTest::qWait(200);
    EXPECT_EQ(health(), "ONLINE");

    // Delete, confirmed: the set is gone. zfs-fuse may call a just-mounted
    // pool busy; a user would simply try again.
    for (int attempt = 0; attempt < 5 && poolRow() >= 0; ++attempt) {
        clickPool();
        view()->DeleteBtn()->click();
        ASSERT_EQ(alerts().size(), 1);
        press(alerts().first(), "Delete");
        view()->zpoolCmd()->waitForThreads();
        waitUntil([&] { return poolRow() < 0; }, 3000);
    }
    EXPECT_LT(poolRow(), 0);
    EXPECT_FALSE(zpool({"list"}).contains(pool_));
    EXPECT_FALSE(zpool({"import"}).contains(pool_)) << "destroyed, not merely ejected";
}

TEST_F(Story, AFailedDiskIsReplacedInItsBay)
{
    LogCapture log;
    createPool();
    clickUpdate();
    ASSERT_EQ(health(), "ONLINE");

    // The disk in Slot-B leaves: the set is degraded, the member red, in its bay.
    ASSERT_TRUE(sandbox_.pull("B").ok());
    clickUpdate();
    EXPECT_EQ(health(), "DEGRADED");
    EXPECT_TRUE(isRed(poolList(), poolRow()));
    clickPool();
    ASSERT_EQ(members(), (QStringList{member("Slot-A"), member("Slot-B", "OFFLINE"), member("Slot-C")}));
    EXPECT_FALSE(isRed(memberTable(), 0));
    EXPECT_TRUE(isRed(memberTable(), 1));
    EXPECT_FALSE(view()->ReplaceBtn()->isEnabled());
    clickRow(memberTable(), 1);
    ASSERT_TRUE(view()->ReplaceBtn()->isEnabled());

    // The wizard: eject, cable out, new disk into the bay it names, cable in.
    view()->ReplaceBtn()->click();
    ASSERT_EQ(alerts().size(), 1);
    EXPECT_EQ(alerts().first()->text(), QStringLiteral("Disk Replacement \u2013 Step 1"));
    EXPECT_EQ(alerts().first()->informativeText(),
              QStringLiteral("To replace the disk, %1 has to be ejected now.").arg(pool_));
    press(alerts().first(), "Eject");
    ASSERT_TRUE(waitUntil([&] { return alerts().size() == 1 && alerts().first()->text().endsWith("Step 2"); }, 30000));
    EXPECT_FALSE(zpool({"list"}).contains(pool_)) << "ejected before the cable is pulled";
    ASSERT_TRUE(sandbox_.run({"unplug"}).ok());
    press(alerts().first(), "OK");

    ASSERT_EQ(alerts().size(), 1);
    EXPECT_EQ(alerts().first()->informativeText(),
              "Replace the disk in Slot-B. When done, reconnect the Thunderbolt cable and then click OK to start "
              "rebuilding the RAID set.");
    const auto inserted = sandbox_.insert("B");
    ASSERT_TRUE(inserted.ok()) << inserted.err.toStdString();
    const QString fresh = inserted.out.trimmed();
    ASSERT_TRUE(sandbox_.run({"plug"}).ok());
    // Tarnwell reads the registry again once the file settles.
    ASSERT_TRUE(waitUntil([&] {
        VRLScanDevice scan(*registry_);
        scan.setDfRunner([] { return QString(); });
        scan.scanTBDevice();
        return scan.tbArray().size() == 1 && scan.tbArray().first()->hddArray.size() == 4;
    }));
    press(alerts().first(), "OK");

    // A second later the set is mounted again and rebuilt onto the new disk.
    const QString replaced = QStringLiteral("REPLACE %1 %2 %3").arg(pool_, disk_["Slot-B"], fresh);
    ASSERT_TRUE(waitUntil([&] { return log.count(replaced) == 1; }, 30000)) << log.lines().join('\n').toStdString();
    EXPECT_TRUE(log.lines().filter("No New Disk").isEmpty());
    disk_["Slot-B"] = fresh;
    const QStringList healed = {member("Slot-A"), member("Slot-B"), member("Slot-C")};
    bool whole = false;
    for (int i = 0; i < 60 && !whole; ++i) {  // resilvering a small set takes seconds
        clickUpdate();
        if (poolRow() >= 0) {
            clickPool();
            whole = health() == "ONLINE" && members() == healed;
        }
        if (!whole)
            QTest::qWait(1000);
    }
    EXPECT_TRUE(whole) << health().toStdString() << ": " << members().join(", ").toStdString() << "\n"
                       << zpool({"status", pool_}).toStdString();
    EXPECT_FALSE(isRed(poolList(), poolRow()));
    EXPECT_TRUE(alerts().isEmpty());
}

// `tarnwell --list --json` on the sandbox: what the Update button would show.
class ListCommand : public OnSandbox {
protected:
    QJsonArray list(int* exitCode, QString* err = nullptr)
    {
        QProcess p;
        p.start(QStringLiteral(TARNWELL_BINARY_DIR "/src/tarnwell"),
                {"--registry", sandbox_.fixture(), "--list", "--json"});
        p.waitForFinished(60000);
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
        const QByteArray out = p.readAllStandardOutput();
        QJsonParseError parse;
        const QJsonArray pools = QJsonDocument::fromJson(out, &parse).array();
        EXPECT_EQ(parse.error, QJsonParseError::NoError) << out.constData();
        return pools;
    }
    QJsonObject ours(const QJsonArray& pools)
    {
        for (const auto& p : pools) {
            if (p.toObject().value("name").toString() == pool_)
                return p.toObject();
        }
        return {};
    }
};

TEST_F(ListCommand, ListsTheSetsMembersAndBaysAsJson)
{
    createPool();
    ASSERT_TRUE(sandbox_.pull("C").ok());

    int status = -1;
    QString err;
    QJsonObject pool = ours(list(&status, &err));
    ASSERT_EQ(status, 0) << err.toStdString();
    EXPECT_EQ(pool.value("mode").toString(), "RaidZ");
    EXPECT_EQ(pool.value("health").toString(), "DEGRADED");
    EXPECT_TRUE(pool.value("size").toString().endsWith('M')) << pool.value("size").toString().toStdString();
    QStringList members;
    for (const auto& v : pool.value("members").toArray()) {
        const QJsonObject m = v.toObject();
        members << m.value("name").toString() + " " + m.value("state").toString() + " " + m.value("slot").toString();
    }
    EXPECT_EQ(members, (QStringList{disk_["Slot-A"] + " ONLINE Slot-A", disk_["Slot-B"] + " ONLINE Slot-B",
                                    disk_["Slot-C"] + " OFFLINE Slot-C"}));

    // Ejected sets are listed too, without members or sizes.
    zpool({"export", pool_});
    pool = ours(list(&status));
    ASSERT_EQ(status, 0);
    EXPECT_EQ(pool.value("health").toString(), "DEGRADED EJECTED");
    EXPECT_TRUE(pool.value("size").isNull());
    EXPECT_TRUE(pool.value("members").toArray().isEmpty());
}

}  // namespace
