// The pool view on a stand-in zpool: what each pool offers, what each button
// runs, and what the user sees when zpool fails, says nothing, hangs or floods.
#include "exec/ToolLimits.h"
#include "support/MainWinHarness.h"
#include "support/StandInElevator.h"
#include "ui/BusyIndicator.h"

#include <gtest/gtest.h>

#include <QBrush>
#include <QPushButton>
#include <QThread>
#include <QTimer>


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
    ~PoolView() override { ToolLimits::set(ToolLimits::Kind::Change, 0); }
    void select(const QString& pool)
    {
        for (int r = 0; r < v->RaidListView()->model()->rowCount(); ++r) {
            if (v->RaidListView()->model()->index(r, 0).data() == pool)
                w->selectPool(r);
        }
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
    EXPECT_EQ(FakeTool::inAnyOrder(h.zpool.calls()), FakeTool::inAnyOrder({{"list"}, {"status", "-L"}}));

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
}

TEST_F(PoolView, DeleteAsksAndDestroysThePoolTheConfirmationNamed)
{
    w->selectPool(1);
    h.zpool.clearCalls();
    v->DeleteBtn()->click();
    ASSERT_EQ(w->alerts().size(), 1);
    QMessageBox* box = w->alerts().first();
    EXPECT_TRUE(box->informativeText().startsWith("Deleting media will"));
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

TEST_F(PoolView, EachActionShowsWhatZpoolSaid)
{
    ToolLimits::set(ToolLimits::Kind::Change, 1000);
    v->UpdateBtn()->click();
    w->settle();
    const struct {
        const char* script;
        const char* error;
        const char* says;
    } kinds[] = {
        {"exit 1", "cannot do it: pool is busy\n", "exited with status 1:\n\ncannot do it: pool is busy"},
        {"exit 3", "", "exited with status 3 and gave no message."},
        {"sleep 86397 & sleep 5", "", "timed out after 1 s and was stopped."},
        {"head -c 52428800 /dev/zero", "", "printed more than 32 MB and was stopped."},
    };
    const struct {
        const char* pool;
        const char* key;  // the stand-in's answer for this run only
        QPushButton* button;
        const char* title;
    } actions[] = {
        {"tank", "export", v->EjectBtn(), "tank could not be ejected"},
        {"backup", "import backup", v->MountBtn(), "backup could not be mounted"},
        {"media", "destroy", v->DeleteBtn(), "media could not be deleted"},
    };
    for (const auto& a : actions) {
        for (const auto& k : kinds) {
            SCOPED_TRACE(std::string(a.title) + ": " + k.script);
            h.zpool.setOutput(a.key, "");
            h.zpool.setError(a.key, k.error);
            h.zpool.setScript(a.key, k.script);
            select(a.pool);
            a.button->click();
            if (a.button == v->DeleteBtn())
                press(w->alerts().value(0), "Delete");
            w->settle();
            const QList<QMessageBox*> alerts = w->alerts();
            ASSERT_EQ(alerts.size(), 1);
            EXPECT_EQ(alerts.first()->text(), a.title);
            EXPECT_EQ(alerts.first()->informativeText(),
                      QStringLiteral("zpool %1 %2 %3").arg(QString(a.key).section(' ', 0, 0), a.pool, k.says));
            alerts.first()->close();
        }
        h.zpool.setScript(a.key, "");
    }
    EXPECT_EQ(runTool("/usr/bin/pgrep", {"-f", "sleep 86397"}), "");  // killed at the limit, children too
}

TEST_F(PoolView, TheWindowAnswersWhileZpoolSleeps)
{
    h.zpool.setScript("export", "sleep 2");
    select("tank");
    v->EjectBtn()->click();
    for (QPushButton* b : {v->NewBtn(), v->UpdateBtn(), v->DeleteBtn(), v->EjectBtn(), v->MountBtn()})
        EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
    EXPECT_TRUE(v->busyIndicator()->isVisible());
    EXPECT_EQ(v->busyIndicator()->text(), "Ejecting tank…");
    EXPECT_EQ(w->win->cursor().shape(), Qt::BusyCursor);

    // The event loop keeps turning, and a click still selects.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    QTest::qWait(1000);
    EXPECT_GE(ticks, 30);
    QTableView* list = v->RaidListView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    EXPECT_EQ(list->selectionModel()->selectedRows().value(0).row(), 1);
    EXPECT_EQ(h.actions(), (QList<QStringList>{{"export", "tank"}}));

    w->settle();
    EXPECT_TRUE(v->UpdateBtn()->isEnabled() && v->NewBtn()->isEnabled());
    EXPECT_FALSE(v->busyIndicator()->isVisible());
    EXPECT_NE(w->win->cursor().shape(), Qt::BusyCursor);
    EXPECT_TRUE(w->alerts().isEmpty());
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
