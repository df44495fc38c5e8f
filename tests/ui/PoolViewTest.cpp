#include "pools/RaidListArray.h"
#include "support/MainWinHarness.h"
#include "ui/RaidListModel.h"

#include <gtest/gtest.h>

#include <QBrush>
#include <QPushButton>
#include <QThread>

#include <thread>

namespace {
const QList<FixtureEnclosure> oneEnclosure = {
    {1001, 0, {{"Slot-A", "disk92"}, {"Slot-C", "disk94"}, {"Slot-D", "disk95"}}}};

QString cell(const QAbstractItemModel* model, int row, int column)
{
    return model->index(row, column).data().toString();
}
QColor rowColour(const QAbstractItemModel* model, int row)
{
    return model->data(model->index(row, 0), Qt::ForegroundRole).value<QBrush>().color();
}
// Delete, Eject, Mount, Replace: "+" enabled, "-" not.
std::string buttons(RaidTableViewController* v)
{
    std::string out;
    for (QPushButton* b : {v->DeleteBtn(), v->EjectBtn(), v->MountBtn(), v->ReplaceBtn()})
        out += b->isEnabled() ? '+' : '-';
    return out;
}

// Four pools (tank DEGRADED, media ONLINE, ejected backup and archive) and one enclosure.
class PoolView : public ::testing::Test {
protected:
    PoolView()
    {
        h.useOutputs("list-all-health.txt", "status-all-health.txt", "import-two.txt");
        w = std::make_unique<StartedMainWindow>(h);
        v = w->pools();
    }
    // The worker's run and the refresh it starts on the GUI thread are done.
    void waitForRefresh()
    {
        w->settle();
        ASSERT_TRUE(h.zpool.calls().contains(QStringList{"import"}));
    }
    MainWinHarness h{oneEnclosure};
    std::unique_ptr<StartedMainWindow> w;
    RaidTableViewController* v = nullptr;
};
}  // namespace

TEST_F(PoolView, ButtonTableAndColoursRowByRow)
{
    // After load: nothing selected, the first refresh leaves ejected pools out.
    EXPECT_TRUE(v->NewBtn()->isEnabled());
    EXPECT_TRUE(v->UpdateBtn()->isEnabled());
    EXPECT_EQ(buttons(v), "----");
    EXPECT_FALSE(v->DetachBtn()->isVisible() || v->OnlineBtn()->isVisible());
    EXPECT_EQ(FakeTool::inAnyOrder(h.zpool.calls()), (QList<QStringList>{{"list"}, {"status", "-L"}}));
    EXPECT_EQ(v->RaidListView()->model()->rowCount(), 2);
    EXPECT_EQ(RaidListArray::current(), v->raidList());

    v->UpdateBtn()->click();  // lists the ejected pools too
    w->settle();
    const QAbstractItemModel* list = v->RaidListView()->model();
    const QAbstractItemModel* members = v->RaidStatusView()->model();
    ASSERT_EQ(list->rowCount(), 4);
    const struct {
        const char* name;
        const char* health;
        bool red;
        const char* buttons;
        int members;
    } rows[] = {
        {"tank", "DEGRADED", true, "++--", 4},
        {"media", "ONLINE", false, "++--", 3},
        {"backup", "EJECTED", false, "+-+-", 0},
        {"archive", "DEGRADED EJECTED", true, "+-+-", 0},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(cell(list, i, 0), rows[i].name);
        EXPECT_EQ(cell(list, i, 6), rows[i].health);
        EXPECT_EQ(rowColour(list, i), rows[i].red ? QColor(Qt::red) : QColor(Qt::black));
        w->selectPool(i);
        EXPECT_EQ(buttons(v), rows[i].buttons);
        EXPECT_EQ(members->rowCount(), rows[i].members);
    }
    EXPECT_EQ(cell(list, 2, 2), "");  // an ejected pool's size cells are empty

    // Members of tank with their bays: the gone one is red and replaceable.
    w->selectPool(0);
    for (int r = 0; r < 4; ++r) {
        const char* names[] = {"disk92", "1234567890123456789", "disk94", "disk95"};
        EXPECT_EQ(cell(members, r, 0) + " " + cell(members, r, 2) + " " + cell(members, r, 3),
                  QString(names[r]) + " tank Slot-" + QChar('A' + r));
    }
    EXPECT_EQ(cell(members, 1, 8), "was /dev/disk93 ");
    EXPECT_EQ(rowColour(members, 0), QColor(Qt::black));
    EXPECT_EQ(rowColour(members, 1), QColor(Qt::red));
    w->selectMember(0);
    EXPECT_FALSE(v->ReplaceBtn()->isEnabled());
    w->selectMember(1);
    EXPECT_TRUE(v->ReplaceBtn()->isEnabled());
    // With no member selected Replace has nothing to act on.
    v->RaidStatusView()->clearSelection();
    QApplication::processEvents();
    EXPECT_FALSE(v->ReplaceBtn()->isEnabled());

    // A mirror's group line is a member row but never replaceable.
    w->selectPool(1);
    EXPECT_EQ(cell(members, 0, 0), "mirror-0");
    w->selectMember(0);
    EXPECT_FALSE(v->ReplaceBtn()->isEnabled());

    // No pool selected: Delete, Eject and Mount off, member table empty.
    v->RaidListView()->clearSelection();
    QApplication::processEvents();
    EXPECT_EQ(buttons(v).substr(0, 3), "---");
    EXPECT_EQ(members->rowCount(), 0);

    // A column identifier the model does not know shows "-".
    RaidListModel model({{"Name", "Name"}, {"Bogus", "Bogus"}});
    model.setList(v->raidList());
    EXPECT_EQ(cell(&model, 0, 1), "-");
}

TEST_F(PoolView, DeleteAsksAndDestroysThePoolTheConfirmationNamed)
{
    w->selectPool(1);
    h.zpool.clearCalls();
    v->DeleteBtn()->click();
    ASSERT_EQ(w->alerts().size(), 1);
    QMessageBox* box = w->alerts().first();
    EXPECT_EQ(box->text(), "Delete a RAID");
    EXPECT_EQ(box->informativeText(),
              "Deleting media will completely remove the RAID set and erase all existing data on "
              "those drives. Are you sure?");
    EXPECT_EQ(buttonTexts(box), (QStringList{"Delete", "Cancel"}));
    EXPECT_EQ(box->icon(), QMessageBox::Information);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    press(box, "Cancel");
    w->settle();
    EXPECT_TRUE(h.zpool.calls().isEmpty());  // no request, no refresh

    v->DeleteBtn()->click();
    // While the question is open a refresh moves media a row down; the selection follows it.
    h.zpool.setOutput("list", "NAME SIZE ALLOC FREE EXPANDSZ FRAG CAP DEDUP HEALTH ALTROOT\n"
                              "alpha 1G 1M 1G - 0% 0% 1.00x ONLINE -\n"
                              "tank 3.62T 1.20T 2.42T - 3% 33% 1.00x DEGRADED -\n"
                              "media 1.81T 912G 944G - 1% 49% 1.00x ONLINE -\n");
    v->ShowRAIDInfo(false);
    w->settle();
    ASSERT_EQ(v->RaidListView()->selectionModel()->selectedRows().value(0).data().toString(), "media");
    press(w->alerts().first(), "Delete");
    // The worker's result refreshes with ejected pools on the GUI thread.
    waitForRefresh();
    EXPECT_EQ(h.actions(), (QList<QStringList>{{"destroy", "media"}}));
}

TEST_F(PoolView, EjectAndMountGoThroughTheWorkerAndRefresh)
{
    v->UpdateBtn()->click();
    w->settle();
    // No zpool runs on the GUI thread, the refresh's included.
    std::atomic<int> onGuiRuns = 0;
    h.center.addObserver("ZpoolCMDFinish", nullptr, [&](const Notification&) {
        if (QThread::currentThread() == qApp->thread())
            ++onGuiRuns;
    });

    w->selectPool(0);  // tank, DEGRADED: Eject is offered
    h.zpool.clearCalls();
    v->EjectBtn()->click();
    waitForRefresh();
    EXPECT_EQ(h.actions(), (QList<QStringList>{{"export", "tank"}}));
    // After the refresh the selection rules ran again: row 0 is still tank.
    EXPECT_TRUE(v->EjectBtn()->isEnabled());
    EXPECT_EQ(v->RaidStatusView()->model()->rowCount(), 4);

    w->selectPool(2);  // backup, EJECTED: Mount is offered
    h.zpool.clearCalls();
    v->MountBtn()->click();
    waitForRefresh();
    EXPECT_EQ(h.actions(), (QList<QStringList>{{"import", "backup"}}));
    EXPECT_EQ(onGuiRuns, 0);
}

TEST_F(PoolView, ReleaseInfoRoutesByVerb)
{
    const struct {
        const char* verb;
        const char* isRoot;
        QList<QStringList> calls;
    } cases[] = {
        {"LIST", "YES", {}},  // the refresh's own verbs start no refresh
        {"LIST EJECTED", "YES", {}},
        {"STATUS", "YES", {}},
        {"MOUNT", "YES", {{"list"}, {"status", "-L"}, {"import"}}},
        {"DETACH", "NO", {{"list"}, {"status", "-L"}}},
    };
    for (const auto& c : cases) {
        h.zpool.clearCalls();
        v->ReleaseInfo({{"CMD", c.verb}, {"isRoot", c.isRoot}});
        w->settle();
        EXPECT_EQ(FakeTool::inAnyOrder(h.zpool.calls()), FakeTool::inAnyOrder(c.calls)) << c.verb;
    }
    // From another thread the refresh waits for the GUI thread.
    h.zpool.clearCalls();
    std::thread([&] { h.center.post("ZpoolCMDFinish", nullptr, {{"CMD", "EJECT"}, {"isRoot", "YES"}}); }).join();
    EXPECT_TRUE(h.zpool.calls().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return h.zpool.calls().size() == 3; }));
}

TEST(PoolViewGate, ClosedRunsNothingAndPostsNothing)
{
    // A zpool exists but /dev/zfs does not: the gate stays closed all the same.
    for (const bool zpoolPresent : {true, false}) {
        SCOPED_TRACE(zpoolPresent ? "no /dev/zfs" : "no zpool");
        MainWinHarness h(oneEnclosure, zpoolPresent, !zpoolPresent);
        h.useOutputs("list-all-health.txt", "status-all-health.txt", "import-two.txt");
        StartedMainWindow w(h);
        QStringList posts;
        for (const QString& name : Notifications::HubNames)
            h.center.addObserver(name, nullptr, [&posts, name](const Notification&) { posts << name; });
        RaidTableViewController* v = w.pools();
        EXPECT_FALSE(v->NewBtn()->isEnabled());
        EXPECT_FALSE(v->UpdateBtn()->isEnabled());
        v->New();
        v->Update();
        v->DeleteRAID();
        v->EjectRAID();
        v->MountRAID();
        v->ReplaceRAID();
        v->Detach();
        v->OnLine();
        v->ShowRAIDInfo(true);
        w.settle();
        EXPECT_TRUE(h.zpool.calls().isEmpty());
        EXPECT_TRUE(posts.isEmpty());
        EXPECT_EQ(v->RaidListView()->model()->rowCount(), 0);
        // The bay mapping still ran on the scanner, and a second refresh replaced the scan.
        EXPECT_EQ(v->ScanDevice()->tbArray().size(), 1);
    }
}
