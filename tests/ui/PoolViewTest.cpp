// The pool view on a stand-in zpool: what each pool offers, and what a failed run shows.
#include "exec/ToolLimits.h"
#include "support/MainWinHarness.h"
#include "support/QtPrinters.h"
#include "support/StandInElevator.h"
#include "ui/BusyIndicator.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <QBrush>
#include <QPushButton>

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
    ~PoolView() override { ToolLimits::set(ToolLimits::Kind::Change, 0); }
    MainWinHarness h{oneEnclosure};
    std::unique_ptr<StartedMainWindow> w;
    RaidTableViewController* v = nullptr;
};
}  // namespace

TEST_F(PoolView, ButtonTableAndColoursRowByRow)
{
    // After load: nothing selected, the first refresh leaves ejected pools out.
    EXPECT_EQ(seen(v), "---- none");
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
    w->selectPool(1);  // a mirror's group line is a member row, never replaceable
    w->selectMember(0);
    EXPECT_FALSE(v->ReplaceBtn()->isEnabled());
}

TEST_F(PoolView, EachActionRunsOnTheWorkerAndShowsWhatZpoolSaid)
{
    ToolLimits::set(ToolLimits::Kind::Change, 1000);
    v->UpdateBtn()->click();
    w->settle();
    const struct {
        int pool;  // its row after Update: tank 0, media 1, backup 2
        const char* key;  // the stand-in's answer for this run only
        QPushButton* button;
        const char* script;
        const char* error;
        const char* says;
    } cases[] = {
        {0, "export", v->EjectBtn(), "exit 1", "cannot do it: pool is busy\n",
         "tank could not be ejected/zpool export tank exited with status 1:\n\ncannot do it: pool is busy"},
        {2, "import backup", v->MountBtn(), "exit 3", "",
         "backup could not be mounted/zpool import backup exited with status 3 and gave no message."},
        {1, "destroy", v->DeleteBtn(), "sleep 86397.$PPID & sleep 5", "",
         "media could not be deleted/zpool destroy media timed out after 1 s and was stopped."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        h.zpool.setOutput(c.key, "");
        h.zpool.setError(c.key, c.error);
        h.zpool.setScript(c.key, c.script);
        w->selectPool(c.pool);
        c.button->click();
        if (c.button == v->DeleteBtn())
            press(w->alerts().value(0), "Delete");
        // Run on the worker: the window stays busy until the result comes back.
        EXPECT_FALSE(v->UpdateBtn()->isEnabled() || v->NewBtn()->isEnabled() || !v->busyIndicator()->isVisible());
        w->settle();
        const QList<QMessageBox*> alerts = w->alerts();
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts.first()->text() + "/" + alerts.first()->informativeText(), c.says);
        alerts.first()->close();
    }
    // The sleeper carries this run's pid: another run may be mid-limit.
    EXPECT_EQ(runTool("/usr/bin/pgrep", {"-f", QString("sleep 86397.%1").arg(getpid())}), "");

    // A dismissed authorization shows nothing and changes nothing.
    StandInElevator elevator;
    elevator.answer("cancel");
    h.zpool.clearCalls();
    w->selectPool(0);
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
    const struct {
        QString list, status;
        const char* member;  // chosen before this refresh
        bool ownRefresh;     // an action's, not Update's
        const char* expected;
    } steps[] = {
        {listing({"tank DEGRADED", "media ONLINE"}), tankStatus("DEGRADED", {"disk93 UNAVAIL", "disk94 ONLINE"}), nullptr, false,
         "++-- tank disk92=ONLINE disk93=UNAVAIL disk94=ONLINE"},
        // tank moves down a row; its gone member, chosen, is back.
        {listing({"media ONLINE", "tank ONLINE"}), tankStatus("ONLINE", {"disk93 ONLINE", "disk94 ONLINE"}), "disk93", false,
         "++-- tank disk92=ONLINE disk93=ONLINE disk94=ONLINE"},
        // The member chosen fails: Replace follows it.
        {listing({"media ONLINE", "tank DEGRADED"}), tankStatus("DEGRADED", {"disk93 ONLINE", "disk94 FAULTED"}), "disk94", true,
         "++-+ tank disk92=ONLINE disk93=ONLINE disk94=FAULTED"},
        {listing({"media ONLINE"}), "", nullptr, false, "---- none"},  // tank is gone
    };
    w->selectPool(0);  // tank
    for (const auto& step : steps) {
        SCOPED_TRACE(step.expected);
        h.zpool.setOutput("list", step.list);
        h.zpool.setOutput("status", step.status);
        if (step.member)
            w->selectMember(w->memberRow(step.member));
        if (step.ownRefresh)
            v->ReleaseInfo({{"CMD", "DETACH"}, {"isRoot", "NO"}});
        else
            v->UpdateBtn()->click();
        w->settle();
        EXPECT_EQ(seen(v), step.expected);
    }
}
