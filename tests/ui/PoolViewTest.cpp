// The pool view on a stand-in zpool: what each pool offers, what each button
// runs, and what the user sees when zpool fails, says nothing, hangs or floods.
#include "exec/ToolLimits.h"
#include "support/MainWinHarness.h"
#include "support/QtPrinters.h"
#include "support/StandInElevator.h"
#include "ui/BusyIndicator.h"

#include <gtest/gtest.h>

#include <QBrush>
#include <QPushButton>
#include <QThread>

namespace {
const QList<FixtureEnclosure> oneEnclosure = {
    {1001, 0, {{"Slot-A", "disk92"}, {"Slot-C", "disk94"}, {"Slot-D", "disk95"}}}};

// The cells of `row` in the columns given, and the row's colour.
QString line(const QAbstractItemModel* model, int row, std::initializer_list<int> columns)
{
    QStringList out;
    for (int c : columns)
        out << model->index(row, c).data().toString();
    return out.join(' ') + " " + model->index(row, 0).data(Qt::ForegroundRole).value<QBrush>().color().name();
}
// Delete, Eject, Mount, Replace ("+" enabled, "-" not), then the pool
// selected and its members with their states.
std::string seen(RaidTableViewController* v)
{
    std::string out;
    for (QPushButton* b : {v->DeleteBtn(), v->EjectBtn(), v->MountBtn(), v->ReplaceBtn()})
        out += b->isEnabled() ? '+' : '-';
    const QModelIndexList rows = v->RaidListView()->selectionModel()->selectedRows();
    out += " " + (rows.isEmpty() ? QString("none") : rows.first().data().toString()).toStdString();
    for (const RaidStatusPtr& m : v->RaidStateArray())
        out += " " + m->DiskName->toStdString() + "=" + m->State->toStdString();
    return out;
}
// zpool list of the pools given as "name HEALTH".
QString listing(const QStringList& pools)
{
    QString s = "NAME SIZE ALLOC FREE EXPANDSZ FRAG CAP DEDUP HEALTH ALTROOT\n";
    for (const QString& p : pools)
        s += p.section(' ', 0, 0) + " 1G 1M 1G - 0% 0% 1.00x " + p.section(' ', 1) + " -\n";
    return s;
}
// tank, RAID-Z over disk92 and the members given as "name STATE" lines.
QString tankStatus(const QString& health, const QStringList& members)
{
    QString s = "  pool: tank\n state: " + health + "\nconfig:\n\n\tNAME STATE READ WRITE CKSUM\n\ttank " +
                health + " 0 0 0\n\t  raidz1-0 " + health + " 0 0 0\n\t    disk92 ONLINE 0 0 0\n";
    for (const QString& m : members)
        s += "\t    " + m + " 0 0 0\n";
    return s + "\nerrors: No known data errors\n";
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
    ~PoolView() override { ToolLimits::set(ToolLimits::Kind::Change, 0); }
    void select(const QString& pool)
    {
        const QAbstractItemModel* m = v->RaidListView()->model();
        w->selectPool(m->match(m->index(0, 0), Qt::DisplayRole, pool, 1, Qt::MatchExactly).value(0).row());
    }
    MainWinHarness h{oneEnclosure};
    std::unique_ptr<StartedMainWindow> w;
    RaidTableViewController* v = nullptr;
};
}  // namespace

TEST_F(PoolView, ButtonTableAndColoursRowByRow)
{
    // After load: nothing selected, the first refresh leaves ejected pools out.
    EXPECT_TRUE(v->NewBtn()->isEnabled() && v->UpdateBtn()->isEnabled());
    EXPECT_EQ(seen(v), "---- none");
    EXPECT_FALSE(v->DetachBtn()->isVisible() || v->OnlineBtn()->isVisible());
    EXPECT_EQ(FakeTool::inAnyOrder(h.zpool.calls()), FakeTool::inAnyOrder({{"list"}, {"status", "-L"}}));

    v->UpdateBtn()->click();  // lists the ejected pools too
    w->settle();
    const QAbstractItemModel* list = v->RaidListView()->model();
    const QAbstractItemModel* members = v->RaidStatusView()->model();
    ASSERT_EQ(list->rowCount(), 4);
    const struct {
        const char* row;  // name, size, health, colour
        const char* seen;
    } rows[] = {
        {"tank 3.62T DEGRADED #ff0000", "++-- tank disk92=ONLINE 1234567890123456789=UNAVAIL disk94=ONLINE disk95=ONLINE"},
        {"media 1.81T ONLINE #000000", "++-- media mirror-0=ONLINE disk90=ONLINE disk91=ONLINE"},
        {"backup  EJECTED #000000", "+-+- backup"},  // an ejected pool's size cells are empty
        {"archive  DEGRADED EJECTED #ff0000", "+-+- archive"},
    };
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(line(list, i, {0, 2, 6}), rows[i].row);
        w->selectPool(i);
        EXPECT_EQ(seen(v), rows[i].seen);
    }

    // Members of tank with their bays: the gone one is red and replaceable.
    w->selectPool(0);
    const QStringList tank{"disk92 tank Slot-A #000000", "1234567890123456789 tank Slot-B #ff0000",
                           "disk94 tank Slot-C #000000", "disk95 tank Slot-D #000000"};
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(line(members, r, {0, 2, 3}), tank[r]);
    EXPECT_EQ(members->index(1, 8).data(), "was /dev/disk93 ");
    w->selectMember(0);
    EXPECT_FALSE(v->ReplaceBtn()->isEnabled());
    w->selectMember(1);
    EXPECT_TRUE(v->ReplaceBtn()->isEnabled());

    // A mirror's group line is a member row but never replaceable.
    w->selectPool(1);
    w->selectMember(0);
    EXPECT_FALSE(v->ReplaceBtn()->isEnabled());
}

TEST_F(PoolView, DeleteAsksAndDestroysThePoolTheConfirmationNamed)
{
    w->selectPool(1);
    h.zpool.clearCalls();
    v->DeleteBtn()->click();
    ASSERT_EQ(w->alerts().size(), 1);
    EXPECT_TRUE(w->alerts().first()->informativeText().startsWith("Deleting media will"));
    press(w->alerts().first(), "Cancel");
    w->settle();
    EXPECT_TRUE(h.zpool.calls().isEmpty());  // no request, no refresh

    v->DeleteBtn()->click();
    // While the question is open a refresh moves media a row down; the selection follows it.
    h.zpool.setOutput("list", listing({"alpha ONLINE", "tank DEGRADED", "media ONLINE"}));
    v->ShowRAIDInfo(false);
    w->settle();
    ASSERT_EQ(v->RaidListView()->selectionModel()->selectedRows().value(0).data().toString(), "media");
    press(w->alerts().first(), "Delete");
    // The worker's result refreshes with ejected pools on the GUI thread.
    waitForRefresh();
    EXPECT_EQ(h.actions(), (QList<QStringList>{{"destroy", "media"}}));
}

TEST_F(PoolView, EachActionShowsWhatZpoolSaid)
{
    ToolLimits::set(ToolLimits::Kind::Change, 1000);
    v->UpdateBtn()->click();
    w->settle();
    const struct {
        const char* pool;
        const char* key;  // the stand-in's answer for this run only
        QPushButton* button;
        const char* script;
        const char* error;
        const char* says;
    } cases[] = {
        {"tank", "export", v->EjectBtn(), "exit 1", "cannot do it: pool is busy\n",
         "tank could not be ejected/zpool export tank exited with status 1:\n\ncannot do it: pool is busy"},
        {"backup", "import backup", v->MountBtn(), "exit 3", "",
         "backup could not be mounted/zpool import backup exited with status 3 and gave no message."},
        {"media", "destroy", v->DeleteBtn(), "sleep 86397 & sleep 5", "",
         "media could not be deleted/zpool destroy media timed out after 1 s and was stopped."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        h.zpool.setOutput(c.key, "");
        h.zpool.setError(c.key, c.error);
        h.zpool.setScript(c.key, c.script);
        select(c.pool);
        c.button->click();
        if (c.button == v->DeleteBtn())
            press(w->alerts().value(0), "Delete");
        w->settle();
        const QList<QMessageBox*> alerts = w->alerts();
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts.first()->text() + "/" + alerts.first()->informativeText(), c.says);
        alerts.first()->close();
    }
    EXPECT_EQ(runTool("/usr/bin/pgrep", {"-f", "sleep 86397"}), "");  // killed at the limit, children too
}

TEST_F(PoolView, EjectAndMountRunOffTheGuiThreadWhileTheWindowAnswers)
{
    v->UpdateBtn()->click();
    w->settle();
    std::atomic<int> onGuiRuns = 0;  // the refresh's runs included
    h.center.addObserver("ZpoolCMDFinish", nullptr, [&](const Notification&) {
        if (QThread::currentThread() == qApp->thread())
            ++onGuiRuns;
    });
    h.zpool.setScript("export", "sleep 2");
    select("tank");
    v->EjectBtn()->click();
    for (QPushButton* b : {v->NewBtn(), v->UpdateBtn(), v->DeleteBtn(), v->EjectBtn(), v->MountBtn()})
        EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
    EXPECT_EQ(v->busyIndicator()->isVisible() ? v->busyIndicator()->text() : "", "Ejecting tank…");
    EXPECT_EQ(w->win->cursor().shape(), Qt::BusyCursor);

    // A click still selects while zpool runs.
    QTableView* list = v->RaidListView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    EXPECT_EQ(list->selectionModel()->selectedRows().value(0).row(), 1);

    waitForRefresh();
    EXPECT_TRUE(v->UpdateBtn()->isEnabled() && v->NewBtn()->isEnabled());
    EXPECT_FALSE(v->busyIndicator()->isVisible());
    EXPECT_NE(w->win->cursor().shape(), Qt::BusyCursor);
    EXPECT_TRUE(w->alerts().isEmpty());
    EXPECT_EQ(h.actions(), (QList<QStringList>{{"export", "tank"}}));
    EXPECT_EQ(seen(v), "++-- media mirror-0=ONLINE disk90=ONLINE disk91=ONLINE");  // rules ran again

    select("backup");
    h.zpool.clearCalls();
    v->MountBtn()->click();
    waitForRefresh();
    EXPECT_EQ(h.actions(), (QList<QStringList>{{"import", "backup"}}));
    EXPECT_EQ(onGuiRuns, 0);
}

TEST_F(PoolView, ADismissedAuthorizationShowsNothingAndChangesNothing)
{
    StandInElevator elevator;
    elevator.answer("cancel");
    h.zpool.clearCalls();
    select("tank");
    v->EjectBtn()->click();
    w->settle();
    v->UpdateBtn()->click();  // its scan for ejected sets asks too
    w->settle();
    EXPECT_GE(elevator.asked(), 2);
    EXPECT_TRUE(w->alerts().isEmpty());
    EXPECT_TRUE(h.actions().isEmpty());
}

TEST_F(PoolView, EveryRefreshKeepsThePoolByNameAndShowsItAsRead)
{
    h.zpool.setOutput("import", "no pools available to import\n");
    const struct {
        const char* what;
        QString list, status;
        std::function<void()> action;
        const char* expected;
    } steps[] = {
        {"tank's gone member chosen", listing({"tank DEGRADED", "media ONLINE"}),
         tankStatus("DEGRADED", {"disk93 UNAVAIL", "disk94 ONLINE"}),
         [&] {
             v->UpdateBtn()->click();
             w->settle();
             w->selectPool(0);
             w->selectMember(w->memberRow("disk93"));
         },
         "++-+ tank disk92=ONLINE disk93=UNAVAIL disk94=ONLINE"},
        {"tank moves down a row; its gone member is back", listing({"media ONLINE", "tank ONLINE"}),
         tankStatus("ONLINE", {"disk93 ONLINE", "disk94 ONLINE"}), [&] { v->UpdateBtn()->click(); },
         "++-- tank disk92=ONLINE disk93=ONLINE disk94=ONLINE"},
        {"the member chosen again fails: Replace follows it", listing({"media ONLINE", "tank DEGRADED"}),
         tankStatus("DEGRADED", {"disk93 ONLINE", "disk94 FAULTED"}),
         [&] {
             w->selectMember(w->memberRow("disk94"));
             v->ReleaseInfo({{"CMD", "DETACH"}, {"isRoot", "NO"}});  // an action's own refresh
         },
         "++-+ tank disk92=ONLINE disk93=ONLINE disk94=FAULTED"},
        {"tank is gone: nothing selected, nothing offered", listing({"media ONLINE"}), "", [&] { v->UpdateBtn()->click(); },
         "---- none"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        h.zpool.setOutput("list", step.list);
        h.zpool.setOutput("status", step.status);
        step.action();
        w->settle();
        EXPECT_EQ(seen(v), step.expected);
    }
}
