#include "pools/RaidListArray.h"
#include "pools/widgets/PoolTableModels.h"
#include "support/MainWinHarness.h"

#include <gtest/gtest.h>

#include <QBrush>
#include <QPushButton>
#include <QThread>

#include <thread>

namespace {
const QList<FixtureEnclosure> oneEnclosure = {
    {1001, 0, {{"Slot-A", "disk92"}, {"Slot-B", "disk96"}, {"Slot-C", "disk94"}, {"Slot-D", "disk95"}}}};

QColor rowColour(const QAbstractItemModel* model, int row)
{
    return model->data(model->index(row, 0), Qt::ForegroundRole).value<QBrush>().color();
}

struct Buttons {
    bool del, eject, mount, replace;
};
Buttons buttons(RaidTableViewController* v)
{
    return {v->DeleteBtn()->isEnabled(), v->EjectBtn()->isEnabled(), v->MountBtn()->isEnabled(),
            v->ReplaceBtn()->isEnabled()};
}

// Counts the posts of every hub name.
struct PostCounter {
    explicit PostCounter(NotificationCenter& c)
    {
        for (const QString& name : Notifications::HubNames)
            c.addObserver(name, nullptr, [this, name](const Notification&) { names << name; });
    }
    QStringList names;
};
}  // namespace

TEST(PoolView, AfterLoadWithTheGateOpen)
{
    MainWinHarness h(oneEnclosure);
    h.useOutputs("list-all-health.txt", "status-all-health.txt", "import-two.txt");
    StartedMainWindow w(h);
    RaidTableViewController* v = w.pools();

    EXPECT_TRUE(v->NewBtn()->isEnabled());
    EXPECT_TRUE(v->UpdateBtn()->isEnabled());
    const Buttons b = buttons(v);
    EXPECT_FALSE(b.del || b.eject || b.mount || b.replace);
    EXPECT_FALSE(v->DetachBtn()->isEnabled() || v->DetachBtn()->isVisible());
    EXPECT_FALSE(v->OnlineBtn()->isEnabled() || v->OnlineBtn()->isVisible());
    EXPECT_EQ(v->RaidStatusView()->model()->rowCount(), 0);
    // The first refresh leaves ejected pools out.
    EXPECT_EQ(h.zpool.calls(), (QList<QStringList>{{"list"}, {"status", "-L"}}));
    EXPECT_EQ(v->RaidListView()->model()->rowCount(), 2);
    EXPECT_EQ(RaidListArray::current(), v->raidList());
}

TEST(PoolView, ButtonTableAndColoursRowByRow)
{
    MainWinHarness h(oneEnclosure);
    h.useOutputs("list-all-health.txt", "status-all-health.txt", "import-two.txt");
    StartedMainWindow w(h);
    RaidTableViewController* v = w.pools();
    v->UpdateBtn()->click();  // lists the ejected pools too
    const QAbstractItemModel* list = v->RaidListView()->model();
    ASSERT_EQ(list->rowCount(), 4);

    struct Row {
        const char* name;
        const char* health;
        bool red, eject, mount;
        int members;
    };
    const Row rows[] = {
        {"tank", "DEGRADED", true, true, false, 4},
        {"media", "ONLINE", false, true, false, 3},
        {"backup", "EJECTED", false, false, true, 0},
        {"archive", "DEGRADED EJECTED", true, false, true, 0},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(list->index(i, 0).data().toString(), rows[i].name);
        EXPECT_EQ(list->index(i, 6).data().toString(), rows[i].health);
        EXPECT_EQ(rowColour(list, i), rows[i].red ? QColor(Qt::red) : QColor(Qt::black));
        w.selectPool(i);
        const Buttons b = buttons(v);
        EXPECT_TRUE(b.del);
        EXPECT_EQ(b.eject, rows[i].eject);
        EXPECT_EQ(b.mount, rows[i].mount);
        EXPECT_EQ(v->RaidStatusView()->model()->rowCount(), rows[i].members);
    }
    // An ejected pool's size cells are empty.
    EXPECT_EQ(list->index(2, 2).data().toString(), "");

    // Members of tank: mountOn is the pool, the gone one is red and replaceable.
    w.selectPool(0);
    const QAbstractItemModel* members = v->RaidStatusView()->model();
    QStringList names, slots_, mounts;
    for (int r = 0; r < members->rowCount(); ++r) {
        names << members->index(r, 0).data().toString();
        mounts << members->index(r, 2).data().toString();
        slots_ << members->index(r, 3).data().toString();
    }
    EXPECT_EQ(names, (QStringList{"disk92", "1234567890123456789", "disk94", "disk95"}));
    EXPECT_EQ(mounts, (QStringList{"tank", "tank", "tank", "tank"}));
    EXPECT_EQ(slots_, (QStringList{"Slot-A", "Slot-B", "Slot-C", "Slot-D"}));
    EXPECT_EQ(members->index(1, 8).data().toString(), "was /dev/disk93 ");
    EXPECT_EQ(rowColour(members, 0), QColor(Qt::black));
    EXPECT_EQ(rowColour(members, 1), QColor(Qt::red));

    w.selectMember(0);
    EXPECT_FALSE(v->ReplaceBtn()->isEnabled());
    w.selectMember(1);
    EXPECT_TRUE(v->ReplaceBtn()->isEnabled());
    // Clicking where no row is leaves Replace as it was.
    v->RaidStatusView()->clearSelection();
    QApplication::processEvents();
    EXPECT_TRUE(v->ReplaceBtn()->isEnabled());

    // A mirror's group line is a member row but never replaceable.
    w.selectPool(1);
    EXPECT_EQ(members->index(0, 0).data().toString(), "mirror-0");
    w.selectMember(0);
    EXPECT_FALSE(v->ReplaceBtn()->isEnabled());

    // No pool selected: Delete, Eject and Mount off, member table empty.
    v->RaidListView()->clearSelection();
    QApplication::processEvents();
    const Buttons none = buttons(v);
    EXPECT_FALSE(none.del || none.eject || none.mount);
    EXPECT_EQ(members->rowCount(), 0);
}

TEST(PoolView, UnknownColumnShowsDash)
{
    RaidListModel model({{"Name", "Name"}, {"Bogus", "Bogus"}});
    auto p = std::make_shared<RaidInfo>();
    p->Name = "tank";
    model.setList(std::make_shared<const RaidList>(RaidList{p}));
    EXPECT_EQ(model.index(0, 0).data().toString(), "tank");
    EXPECT_EQ(model.index(0, 1).data().toString(), "-");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::UserRole).toString(), "Bogus");
}

TEST(PoolView, GateClosedRunsNothingAndPostsNothing)
{
    // A zpool exists but /dev/zfs does not: the gate stays closed all the same.
    for (const bool zpoolPresent : {true, false}) {
        SCOPED_TRACE(zpoolPresent ? "no /dev/zfs" : "no zpool");
        MainWinHarness h(oneEnclosure, zpoolPresent, !zpoolPresent);
        h.useOutputs("list-all-health.txt", "status-all-health.txt", "import-two.txt");
        StartedMainWindow w(h);
        PostCounter posts(h.center);
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
        v->zpoolCmd()->waitForThreads();
        QApplication::processEvents();
        EXPECT_TRUE(h.zpool.calls().isEmpty());
        EXPECT_TRUE(posts.names.isEmpty());
        EXPECT_EQ(v->RaidListView()->model()->rowCount(), 0);
        // The bay mapping still ran on the scanner.
        EXPECT_EQ(v->ScanDevice()->tbArray().size(), 1);
    }
}

TEST(PoolView, DeleteAsksAndDestroysOnlyAfterDelete)
{
    MainWinHarness h(oneEnclosure);
    h.useOutputs("list-all-health.txt", "status-all-health.txt", "import-two.txt");
    StartedMainWindow w(h);
    RaidTableViewController* v = w.pools();
    w.selectPool(1);

    h.zpool.clearCalls();
    v->DeleteBtn()->click();
    ASSERT_EQ(w.alerts().size(), 1);
    QMessageBox* box = w.alerts().first();
    EXPECT_EQ(box->text(), "Delete a RAID");
    EXPECT_EQ(box->informativeText(),
              "Deleting media will completely remove the RAID set and erase all existing data on "
              "those drives. Are you sure?");
    EXPECT_EQ(buttonTexts(box), (QStringList{"Delete", "Cancel"}));
    EXPECT_EQ(box->icon(), QMessageBox::Information);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    press(box, "Cancel");
    v->zpoolCmd()->waitForThreads();
    QTest::qWait(50);
    EXPECT_TRUE(h.zpool.calls().isEmpty());  // no request, no refresh

    v->DeleteBtn()->click();
    press(w.alerts().first(), "Delete");
    v->zpoolCmd()->waitForThreads();
    // The worker's result refreshes with ejected pools on the GUI thread.
    ASSERT_TRUE(waitUntil([&] { return h.zpool.calls().contains(QStringList{"import"}); }));
    EXPECT_EQ(h.actions(), (QList<QStringList>{{"destroy", "media"}}));
}

TEST(PoolView, DeleteDestroysThePoolTheConfirmationNamed)
{
    MainWinHarness h(oneEnclosure);
    h.useOutputs("list-all-health.txt", "status-all-health.txt", "import-two.txt");
    StartedMainWindow w(h);
    RaidTableViewController* v = w.pools();
    w.selectPool(1);  // media
    v->DeleteBtn()->click();

    // While the question is open a refresh shifts another pool under the selection.
    h.zpool.setOutput("list", "NAME SIZE ALLOC FREE EXPANDSZ FRAG CAP DEDUP HEALTH ALTROOT\n"
                              "alpha 1G 1M 1G - 0% 0% 1.00x ONLINE -\n"
                              "tank 3.62T 1.20T 2.42T - 3% 33% 1.00x DEGRADED -\n"
                              "media 1.81T 912G 944G - 1% 49% 1.00x ONLINE -\n");
    v->ShowRAIDInfo(false);
    const QModelIndexList selected = v->RaidListView()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first().data().toString(), "tank");

    h.zpool.clearCalls();
    press(w.alerts().first(), "Delete");
    v->zpoolCmd()->waitForThreads();
    EXPECT_EQ(h.actions(), (QList<QStringList>{{"destroy", "media"}}));
}

TEST(PoolView, EjectAndMountGoThroughTheWorkerAndRefresh)
{
    MainWinHarness h(oneEnclosure);
    h.useOutputs("list-all-health.txt", "status-all-health.txt", "import-two.txt");
    StartedMainWindow w(h);
    RaidTableViewController* v = w.pools();
    v->UpdateBtn()->click();

    std::atomic<int> offGuiRefreshes = 0;
    h.center.addObserver("ZpoolCMDFinish", nullptr, [&](const Notification& n) {
        if (n.userInfo.value("CMD") == "LIST" && QThread::currentThread() != qApp->thread())
            ++offGuiRefreshes;
    });

    w.selectPool(0);  // tank, DEGRADED: Eject is offered
    h.zpool.clearCalls();
    v->EjectBtn()->click();
    v->zpoolCmd()->waitForThreads();
    ASSERT_TRUE(waitUntil([&] { return h.zpool.calls().contains(QStringList{"import"}); }));
    EXPECT_EQ(h.actions(), (QList<QStringList>{{"export", "tank"}}));

    // After the refresh the selection rules ran again: row 0 is still tank.
    EXPECT_TRUE(v->EjectBtn()->isEnabled());
    EXPECT_EQ(v->RaidStatusView()->model()->rowCount(), 4);

    w.selectPool(2);  // backup, EJECTED: Mount is offered
    h.zpool.clearCalls();
    v->MountBtn()->click();
    v->zpoolCmd()->waitForThreads();
    ASSERT_TRUE(waitUntil([&] { return h.zpool.calls().contains(QStringList{"import"}); }));
    EXPECT_EQ(h.actions(), (QList<QStringList>{{"import", "backup"}}));
    EXPECT_EQ(offGuiRefreshes, 0);
}

TEST(PoolView, ReleaseInfoRoutesByVerb)
{
    MainWinHarness h(oneEnclosure);
    h.useOutputs("list-all-health.txt", "status-all-health.txt", "import-two.txt");
    StartedMainWindow w(h);
    RaidTableViewController* v = w.pools();

    for (const char* verb : {"LIST", "LIST EJECTED", "STATUS"}) {
        h.zpool.clearCalls();
        v->ReleaseInfo({{"CMD", verb}, {"isRoot", "YES"}});
        EXPECT_TRUE(h.zpool.calls().isEmpty()) << verb;
    }
    h.zpool.clearCalls();
    v->ReleaseInfo({{"CMD", "MOUNT"}, {"isRoot", "YES"}});
    EXPECT_EQ(h.zpool.calls(), (QList<QStringList>{{"list"}, {"status", "-L"}, {"import"}}));
    h.zpool.clearCalls();
    v->ReleaseInfo({{"CMD", "DETACH"}, {"isRoot", "NO"}});
    EXPECT_EQ(h.zpool.calls(), (QList<QStringList>{{"list"}, {"status", "-L"}}));

    // From another thread the refresh waits for the GUI thread.
    h.zpool.clearCalls();
    std::thread poster([&] { h.center.post("ZpoolCMDFinish", nullptr, {{"CMD", "EJECT"}, {"isRoot", "YES"}}); });
    poster.join();
    EXPECT_TRUE(h.zpool.calls().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return h.zpool.calls().size() == 3; }));
}
