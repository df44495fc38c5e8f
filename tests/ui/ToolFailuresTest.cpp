// What the user sees when zpool fails, says nothing, hangs or floods: an
// alert naming the action and the pool and quoting zpool, nothing reported
// as done, and a window that answers all the while. Stand-in zpools.
#include "PanelFixture.h"
#include "exec/ToolLimits.h"
#include "support/MainWinHarness.h"
#include "support/StandInElevator.h"
#include "ui/BusyIndicator.h"
#include "ui/TBInfoWindow.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {
// tank DEGRADED, media ONLINE; backup and archive ejected.
struct Failures : ::testing::Test {
    Failures()
    {
        ToolLimits::set(ToolLimits::Kind::Change, 1000);
        h.useOutputs("list-all-health.txt", "status-all-health.txt", "import-two.txt");
        w = std::make_unique<StartedMainWindow>(h);
        v = w->pools();
        v->UpdateBtn()->click();
        w->settle();
    }
    ~Failures() override { ToolLimits::set(ToolLimits::Kind::Change, 0); }
    void select(const QString& pool)
    {
        for (int r = 0; r < v->RaidListView()->model()->rowCount(); ++r) {
            if (v->RaidListView()->model()->index(r, 0).data() == pool)
                w->selectPool(r);
        }
    }
    QList<QPushButton*> verbButtons() const
    {
        return {v->NewBtn(), v->UpdateBtn(), v->DeleteBtn(), v->EjectBtn(), v->MountBtn(), v->ReplaceBtn()};
    }

    MainWinHarness h{{{1001, 0, {{"Slot-A", "disk92"}, {"Slot-C", "disk94"}, {"Slot-D", "disk95"}}}}};
    std::unique_ptr<StartedMainWindow> w;
    RaidTableViewController* v = nullptr;
};
}  // namespace

TEST_F(Failures, EachActionShowsWhatZpoolSaid)
{
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

TEST_F(Failures, TheWindowAnswersWhileZpoolSleeps)
{
    ToolLimits::set(ToolLimits::Kind::Change, 0);
    h.zpool.setScript("export", "sleep 2");
    select("tank");
    v->EjectBtn()->click();
    for (QPushButton* b : verbButtons())
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

TEST_F(Failures, ADismissedAuthorizationShowsNothingAndChangesNothing)
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

TEST(CreateFailure, KeepsTheDeviceWindowAsTheUserLeftItForAnotherTry)
{
    MainWinHarness h({{1002, 0, {{"Slot-A", "disk80", 0}, {"Slot-B", "disk81", 0}, {"Slot-C", "disk82", 0}}}});
    StartedMainWindow w(h);
    h.zpool.setError("create", "cannot create 'Data': one or more vdevs refer to the same device\n");
    h.zpool.setScript("create", "exit 1");
    w.pools()->NewBtn()->click();
    w.settle();
    TBInfoWindow* device = w.win->tbInfoWindow();
    DiskTableViewController* panel = device->diskTableViewCtrl();
    panel->TBDevPopup()->setFocus();
    QTest::keyClick(panel->TBDevPopup(), Qt::Key_Down);
    for (int row : {0, 1, 2})
        clickRow(*panel, row);
    QTest::keyClicks(panel->RaidVolumeName(), "Data");
    panel->CreateBtn()->click();
    EXPECT_FALSE(panel->CreateBtn()->isEnabled());  // no second create meanwhile
    w.settle();

    const QList<QMessageBox*> alerts = openAlerts(device);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first()->text(), "The RAID set Data could not be created");
    EXPECT_TRUE(alerts.first()->informativeText().endsWith(
        "exited with status 1:\n\ncannot create 'Data': one or more vdevs refer to the same device"));
    alerts.first()->close();
    EXPECT_TRUE(device->isVisible());
    EXPECT_EQ(selectedRowCount(*panel), 3);
    EXPECT_EQ(panel->RaidVolumeName()->text(), "Data");
    EXPECT_EQ(panel->RaidModePopup()->currentText(), "RAID-Z");
    EXPECT_TRUE(panel->CreateBtn()->isEnabled());

    h.zpool.setScript("create", "exit 0");
    panel->CreateBtn()->click();
    w.settle();
    EXPECT_FALSE(device->isVisible());
    EXPECT_TRUE(openAlerts(device).isEmpty());
    int creates = 0;
    for (const QStringList& c : h.zpool.calls())
        creates += c.value(0) == "create";
    EXPECT_EQ(creates, 2);
}
