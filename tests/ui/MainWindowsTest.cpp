#include "support/MainWinHarness.h"
#include "ui/HelpPages.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>

namespace {
// Rescans recorded with their time instead of scanning.
struct RecordingMainWindows : MainWindows {
    using MainWindows::MainWindows;
    void rescanTB() override { rescans << clock.elapsed(); }
    QList<qint64> rescans;
    QElapsedTimer clock;
};
}  // namespace

TEST(MainWindows, StartupAlertsForEachProbeOutcome)
{
    const QString warning = "There haven`t OpenZFS in your system " + QString::number(QMessageBox::Warning);
    const QString information = "OpenZFS install Failed " + QString::number(QMessageBox::Information);
    const struct {
        bool zpool, device;
        QStringList alerts;  // each as its text and icon
    } cases[] = {
        {true, true, {}}, {false, true, {warning}}, {true, false, {information}}, {false, false, {warning, information}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.zpool) + std::to_string(c.device));
        MainWinHarness h({}, c.zpool, c.device);
        StartedMainWindow w(h);
        QStringList alerts;
        for (QMessageBox* b : w.alerts())
            alerts << b->text() + " " + QString::number(b->icon());
        EXPECT_EQ(alerts, c.alerts);
        EXPECT_EQ(w.pools()->NewBtn()->isEnabled(), c.zpool && c.device);
        EXPECT_EQ(h.zpool.calls().isEmpty(), !(c.zpool && c.device));
    }
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
    h.center.post("TBDeviceDeattached");
    for (auto change : {VolumeWatch::Change::Mounted, VolumeWatch::Change::Unmounted, VolumeWatch::Change::Renamed})
        h.volumeWatch.emitChange(change);
    ASSERT_TRUE(waitUntil([&] { return win->rescans.size() == 5; }));
    QTest::qWait(200);
    ASSERT_EQ(win->rescans.size(), 5);  // each its own, not merged
    EXPECT_TRUE(win->rescans.at(0) >= 1000 && win->rescans.at(0) < 1200) << win->rescans.at(0);
    EXPECT_GE(win->rescans.at(1), 1200);  // one second after its own event
}

TEST(HelpPages, GuideIsFoundInstalledOrInTheSourceTree)
{
    QTemporaryDir root;
    QDir d(root.path());
    d.mkpath("build/src");
    writeFile(d.filePath("src/docs/guide/index.html"), {});
    writeFile(d.filePath("build/CMakeCache.txt"), ("CMAKE_HOME_DIRECTORY:INTERNAL=" + d.filePath("src") + "\n").toUtf8());
    const QString installed = d.filePath("share/tarnwell");
    // Not installed: the build tree leads to its source tree.
    EXPECT_EQ(HelpPages::locateGuide(installed, d.filePath("build/src")), d.filePath("src/docs/guide/index.html"));
    writeFile(installed + "/guide/index.html", {});
    EXPECT_EQ(HelpPages::locateGuide(installed, d.filePath("build/src")), installed + "/guide/index.html");
    EXPECT_EQ(HelpPages::locateGuide(d.filePath("nowhere"), d.filePath("share")), "");
}
