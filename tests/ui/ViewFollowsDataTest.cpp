#include "support/MainWinHarness.h"
#include "ui/DiskTableViewController.h"
#include "ui/TBInfoWindow.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QList<FixtureEnclosure> oneEnclosure = {
    {1001, 0, {{"Slot-A", "disk92"}, {"Slot-B", "disk93"}, {"Slot-C", "disk94"}, {"Slot-D", "disk95"}}}};

const QString header = "NAME    SIZE  ALLOC   FREE  EXPANDSZ   FRAG    CAP  DEDUP  HEALTH  ALTROOT\n";
const QString mediaRow = "media  1.81T   912G   944G         -     1%    49%  1.00x  ONLINE  -\n";
QString tankRow(const QString& health)
{
    return "tank   3.62T  1.20T  2.42T         -     3%    33%  1.00x  " + health + "  -\n";
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

// Delete, Eject, Mount, Replace: "+" enabled, "-" not; then the pool selected
// and the members listed with their states.
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
}  // namespace

TEST(ViewFollowsData, EveryRefreshKeepsThePoolByNameAndShowsItAsRead)
{
    MainWinHarness h(oneEnclosure);
    h.zpool.setOutput("list", header + tankRow("DEGRADED") + mediaRow);
    h.zpool.setOutput("status", tankStatus("DEGRADED", {"disk93 UNAVAIL", "disk94 ONLINE"}));
    StartedMainWindow w(h);
    RaidTableViewController* v = w.pools();
    w.selectPool(0);
    w.selectMember(w.memberRow("disk93"));
    ASSERT_EQ(seen(v), "++-+ tank disk92=ONLINE disk93=UNAVAIL disk94=ONLINE");

    const struct {
        const char* what;
        QString list, status;
        std::function<void()> action;
        const char* expected;
    } steps[] = {
        {"tank moves down a row; its gone member is back", header + mediaRow + tankRow("ONLINE"),
         tankStatus("ONLINE", {"disk93 ONLINE", "disk94 ONLINE"}), [&] { v->UpdateBtn()->click(); },
         "++-- tank disk92=ONLINE disk93=ONLINE disk94=ONLINE"},
        {"the member chosen again fails: Replace follows it", header + mediaRow + tankRow("DEGRADED"),
         tankStatus("DEGRADED", {"disk93 ONLINE", "disk94 FAULTED"}),
         [&] {
             w.selectMember(w.memberRow("disk94"));
             v->ReleaseInfo({{"CMD", "DETACH"}, {"isRoot", "NO"}});  // an action's own refresh
         },
         "++-+ tank disk92=ONLINE disk93=ONLINE disk94=FAULTED"},
        {"tank is gone: nothing selected, nothing offered", header + mediaRow, "", [&] { v->UpdateBtn()->click(); },
         "---- none"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        h.zpool.setOutput("list", step.list);
        h.zpool.setOutput("status", step.status);
        step.action();
        w.settle();
        EXPECT_EQ(seen(v), step.expected);
    }
}

TEST(ViewFollowsData, CancelInTheWizardsLaterStepsRefreshes)
{
    MainWinHarness h(oneEnclosure);
    StartedMainWindow w(h);
    for (const char* step : {"ReplaceStep2", "ReplaceStep3"}) {
        h.zpool.clearCalls();
        h.center.post(step, nullptr, {{"raidName", "tank"}, {"diskName", "disk93"}});
        QApplication::processEvents();
        press(w.alerts().value(0), "Cancel");
        w.settle();
        EXPECT_TRUE(h.zpool.calls().contains(QStringList{"list"})) << step;
    }
}

TEST(DeviceWindowKeys, TabKeepsTheDisksEscapeClosesTheBoxFollowsItsState)
{
    MainWinHarness h(oneEnclosure);
    StartedMainWindow w(h);
    TBInfoWindow* window = w.win->tbInfoWindow();
    window->showWindow();
    ASSERT_TRUE(settle(h.worker));
    DiskTableViewController* panel = window->diskTableViewCtrl();
    panel->TBDevPopup()->setCurrentIndex(1);
    panel->selectTBDevPopup();
    QTableView* disks = panel->DiskListView();
    ASSERT_EQ(disks->model()->rowCount(), 4);
    QApplication::setActiveWindow(window);
    disks->setFocus();
    disks->selectionModel()->select(QItemSelection(disks->model()->index(0, 0), disks->model()->index(2, 0)),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(disks, Qt::Key_Tab);
    EXPECT_EQ(disks->selectionModel()->selectedRows().size(), 3);
    EXPECT_NE(QApplication::focusWidget(), disks);

    // Not a click: the state alone (a key, a screen reader's Toggle) counts.
    panel->EnableCheckBox()->setChecked(true);
    EXPECT_TRUE(panel->argTextFiled()->isEnabled() && panel->DefaultBtn()->isEnabled());

    QTest::keyClick(panel->RaidVolumeName(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}
