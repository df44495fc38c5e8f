#include "support/MainWinHarness.h"
#include "ui/HelpPages.h"
#include "ui/TBInfoWindow.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>

namespace {

// Rescans recorded with their time instead of scanning.
class RecordingMainWindows : public MainWindows {
public:
    using MainWindows::MainWindows;
    void rescanTB() override { rescans << clock.elapsed(); }
    QList<qint64> rescans;
    QElapsedTimer clock;
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
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.zpool) + std::to_string(c.device));
        MainWinHarness h({}, c.zpool, c.device);
        StartedMainWindow w(h);
        QStringList alerts;
        for (QMessageBox* b : w.alerts()) {
            alerts << b->text() + " " + QString::number(b->icon());
        }
        EXPECT_EQ(alerts, c.alerts);
        EXPECT_EQ(w.pools()->zpoolCmd()->zpoolPath(), c.zpool ? h.zpool.path() : QString());
        EXPECT_EQ(w.pools()->NewBtn()->isEnabled(), c.zpool && c.device);
        EXPECT_EQ(h.zpool.calls().isEmpty(), !(c.zpool && c.device));
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

