#include "app/AppDelegate.h"
#include "support/MainWinHarness.h"
#include "ui/Disclaimer.h"
#include "ui/HelpPages.h"
#include "ui/TBInfoWindow.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

namespace {

// The hub's device-window actions, recorded instead of reaching a device window.
class RecordingMainWindows : public MainWindows {
public:
    using MainWindows::MainWindows;
    void rescanTB() override { rescans << clock.elapsed(); }
    QStringList actions;
    QList<qint64> rescans;
    QElapsedTimer clock;

protected:
    void TBDevPopupChange() override { actions << "TBDevPopupChange"; }
    void CreateRAIDFinish() override { actions << "CreateRAIDFinish"; }
    void NoVolumeNameOfRAID() override { actions << "NoVolumeNameOfRAID"; }
    void ShowCreateRaidWindows() override { actions << "ShowCreateRaidWindows"; }
};

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

}  // namespace

TEST(MainWindows, StartupAlertsForEachProbeOutcome)
{
    // Each alert as its text and icon.
    const QString noTool = "There haven`t OpenZFS in your system", noDevice = "OpenZFS install Failed";
    const QString warning = noTool + " " + QString::number(QMessageBox::Warning);
    const QString information = noDevice + " " + QString::number(QMessageBox::Information);
    struct Case {
        bool zpool, device;
        QStringList alerts;
    };
    const Case cases[] = {
        {true, true, {}}, {false, true, {warning}}, {true, false, {information}}, {false, false, {warning, information}}};
    QCoreApplication::setApplicationVersion("9.8.7");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.zpool) + std::to_string(c.device));
        MainWinHarness h({}, c.zpool, c.device);
        StartedMainWindow w(h);
        EXPECT_EQ(w.win->windowTitle(), "Tarnwell");
        EXPECT_EQ(w.win->VerLabel()->text(), "Version : 9.8.7");
        QStringList alerts;
        for (QMessageBox* b : w.alerts()) {
            alerts << b->text() + " " + QString::number(b->icon());
            EXPECT_EQ(b->windowModality(), Qt::WindowModal);
            EXPECT_EQ(buttonTexts(b), QStringList{"OK"});
            if (b->text() == noTool)
                EXPECT_TRUE(b->informativeText().startsWith("Please download and install OpenZFS from\n"));
            else
                EXPECT_EQ(b->informativeText(), OpenZFSCheck::InstallFailedInformative);
        }
        EXPECT_EQ(alerts, c.alerts);
        EXPECT_EQ(w.win->zpoolPath(), c.zpool ? h.zpool.path() : QString());
        // The results reach the pool view before it loads.
        EXPECT_EQ(w.pools()->hasOpenZFS(), c.zpool);
        EXPECT_EQ(w.pools()->ZFSInstalled(), c.device);
        EXPECT_EQ(w.pools()->zpoolCmd()->zpoolPath(), w.win->zpoolPath());
        EXPECT_EQ(w.pools()->NewBtn()->isEnabled(), c.zpool && c.device);
        EXPECT_EQ(h.zpool.calls().isEmpty(), !(c.zpool && c.device));
    }
}

TEST(MainWindows, HubRoutesEachName)
{
    MainWinHarness h;
    h.useOutputs("list-all-health.txt", "status-all-health.txt", "import-two.txt");
    auto* win = new RecordingMainWindows(h.context);
    StartedMainWindow w(h, win);

    struct Route {
        QString name;
        UserInfo payload;
        QString action;                // recorded device-window action, if any
        QList<QStringList> zpoolCalls;  // the pool view's refresh, if any
        QString alert;                 // the alert shown, if any
    };
    const QList<QStringList> refresh = {{"list"}, {"status", "-L"}};
    const QList<QStringList> refreshWithEjected = {{"list"}, {"status", "-L"}, {"import"}};
    const UserInfo replace = {{"raidName", "tank"}, {"diskName", "disk93"}, {"diskSlot", "Slot-B"}};
    const QList<Route> routes = {
        {"TBDevPopupChange", {}, "TBDevPopupChange", {}, {}},
        {"ShowRAIDInfo", {}, {}, refresh, {}},
        {"CreateRAIDFinish", {}, "CreateRAIDFinish", {}, {}},
        {"DeleteConfirm", {{"PoolName", "tank"}}, {}, {}, "Delete a RAID"},
        {"NoVolumeNameOfRAID", {}, "NoVolumeNameOfRAID", {}, {}},
        {"ShowCreateRaidWindows", {}, "ShowCreateRaidWindows", {}, {}},
        {"ReplaceStep1", replace, {}, {}, QString::fromUtf8("Disk Replacement \u2013 Step 1")},
        {"ReplaceStep2", replace, {}, {}, QString::fromUtf8("Disk Replacement \u2013 Step 2")},
        {"ReplaceStep3", replace, {}, {}, QString::fromUtf8("Disk Replacement \u2013 Step 3")},
        {"ZpoolCMDFinish", {{"CMD", "EJECT"}, {"isRoot", "YES"}}, {}, refreshWithEjected, {}},
        {"ZpoolCMDFinish", {{"CMD", "STATUS"}, {"isRoot", "NO"}}, {}, {}, {}},
        {"SomethingElse", {}, {}, {}, {}},
    };
    for (const Route& r : routes) {
        SCOPED_TRACE(r.name.toStdString());
        win->actions.clear();
        h.zpool.clearCalls();
        h.center.post(r.name, nullptr, r.payload);
        w.settle();
        EXPECT_EQ(win->actions, r.action.isEmpty() ? QStringList{} : QStringList{r.action});
        EXPECT_EQ(FakeTool::inAnyOrder(h.zpool.calls()), FakeTool::inAnyOrder(r.zpoolCalls));
        const QList<QMessageBox*> boxes = w.alerts();
        EXPECT_EQ(boxes.size(), r.alert.isEmpty() ? 0 : 1);
        if (!boxes.isEmpty()) {
            EXPECT_EQ(boxes.first()->text(), r.alert);
            press(boxes.first(), "Cancel");
            w.settle();  // a wizard cancelled after its eject refreshes
        }
        EXPECT_TRUE(win->rescans.isEmpty());
    }
}

TEST(MainWindows, NewOpensTheDeviceWindowAndCreateRAIDFinishClosesIt)
{
    MainWinHarness h({{1001, 0, {{"Slot-A", "disk92"}}}});
    StartedMainWindow w(h);
    EXPECT_FALSE(w.win->hasTBInfoWindow());  // created on first use
    w.pools()->NewBtn()->click();
    ASSERT_TRUE(w.win->hasTBInfoWindow());
    TBInfoWindow* devices = w.win->tbInfoWindow();
    EXPECT_TRUE(devices->isVisible());
    EXPECT_EQ(devices->zpoolPath(), h.zpool.path());
    h.center.post("CreateRAIDFinish");
    EXPECT_FALSE(devices->isVisible());
    h.center.post("ShowCreateRaidWindows");
    EXPECT_EQ(w.win->tbInfoWindow(), devices);  // the same window again
    EXPECT_TRUE(devices->isVisible());
    devices->close();
}

TEST(MainWindows, ReplaceStep3CarriesStep2sPayload)
{
    MainWinHarness h;
    StartedMainWindow w(h);
    QList<UserInfo> seen;
    h.center.addObserver("ReplaceStep3", nullptr, [&](const Notification& n) { seen << n.userInfo; });
    const UserInfo payload = {{"raidName", "tank"}, {"diskName", "disk93"}, {"diskSlot", "Slot-B"},
                              {"enclosure", "uid:7"}};
    w.win->showReplaceStep2(payload);
    press(w.alerts().first(), "Cancel");
    EXPECT_TRUE(seen.isEmpty());
    w.win->showReplaceStep2(payload);
    press(w.alerts().first(), "OK");
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen.first(), payload);
    // Step 3's Cancel leaves the pool as it is: only the refresh reads it.
    h.zpool.clearCalls();
    press(w.alerts().first(), "Cancel");
    QTest::qWait(1200);
    EXPECT_TRUE(h.actions().isEmpty());
}

TEST(MainWindows, EachAttachDetachAndVolumeChangeRescansOneSecondLater)
{
    MainWinHarness h;
    auto* win = new RecordingMainWindows(h.context);
    StartedMainWindow w(h, win);
    EXPECT_EQ(h.volumeWatch.starts, 1);

    win->clock.start();
    h.center.post("TBDeviceAttached");
    QTest::qWait(200);
    h.center.post("TBDeviceAttached");
    ASSERT_TRUE(waitUntil([&] { return win->rescans.size() == 2; }));
    EXPECT_GE(win->rescans.at(0), 1000);
    EXPECT_LT(win->rescans.at(0), 1200);
    EXPECT_GE(win->rescans.at(1), 1200);  // one second after its own event, not merged

    win->rescans.clear();
    win->clock.restart();
    h.center.post("TBDeviceDeattached");
    h.volumeWatch.emitChange(VolumeWatch::Change::Mounted);
    h.volumeWatch.emitChange(VolumeWatch::Change::Unmounted);
    h.volumeWatch.emitChange(VolumeWatch::Change::Renamed);
    QTest::qWait(900);
    EXPECT_TRUE(win->rescans.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return win->rescans.size() == 4; }));
    QTest::qWait(200);
    EXPECT_EQ(win->rescans.size(), 4);
}

TEST(MainWindows, MenuOpensTheInstallPageAndOneDisclaimer)
{
    MainWinHarness h;
    AppDelegate delegate(h.context);
    delegate.applicationDidFinishLaunching();
    QMap<QString, QAction*> entries;
    for (QAction* menu : delegate.mainWindows()->menuBar()->actions()) {
        for (QAction* a : menu->menu()->actions())
            entries[a->text()] = a;
    }
    for (const char* text : {"How to Use", "OpenZFS", "Disclaimer", "Help"})
        ASSERT_TRUE(entries.contains(text)) << text;

    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("https", &recorder, "open");
    entries["OpenZFS"]->trigger();
    QDesktopServices::unsetUrlHandler("https");
    EXPECT_EQ(recorder.urls, QList<QUrl>{HelpPages::openZFSInstallUrl()});

    entries["Disclaimer"]->trigger();
    ::Disclaimer* disclaimer = delegate.disclaimerWindow();
    EXPECT_TRUE(disclaimer->isVisible());
    disclaimer->close();
    entries["Disclaimer"]->trigger();
    EXPECT_EQ(delegate.disclaimerWindow(), disclaimer);  // the same window, shown again
    EXPECT_TRUE(disclaimer->isVisible());
    for (QMessageBox* b : delegate.mainWindows()->findChildren<QMessageBox*>())
        b->close();
}

TEST(HelpPages, GuideIsFoundInstalledOrInTheSourceTree)
{
    QTemporaryDir root;
    QDir d(root.path());
    d.mkpath("share/tarnwell/guide");
    d.mkpath("build/src");
    writeFile(d.filePath("src/docs/guide/index.html"), {});
    writeFile(d.filePath("build/CMakeCache.txt"), ("CMAKE_HOME_DIRECTORY:INTERNAL=" + d.filePath("src") + "\n").toUtf8());

    const QString installed = d.filePath("share/tarnwell");
    const QString program = d.filePath("build/src");
    // Not installed: the build tree leads to its source tree.
    EXPECT_EQ(HelpPages::locateGuide(installed, program), d.filePath("src/docs/guide/index.html"));
    writeFile(d.filePath("share/tarnwell/guide/index.html"), {});
    EXPECT_EQ(HelpPages::locateGuide(installed, program), installed + "/guide/index.html");
    EXPECT_EQ(HelpPages::locateGuide(d.filePath("nowhere"), d.filePath("share")), "");
}

#include "MainWindowsTest.moc"
