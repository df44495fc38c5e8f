#include "pools/ReplaceWorkflow.h"
#include "support/LogCapture.h"
#include "support/MainWinHarness.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPushButton>

namespace {
const QString gone = QStringLiteral("1234567890123456789");

FixtureEnclosure tankEnclosure(bool newDiskInBayB, qint64 uid = 1001, int port = 0)
{
    FixtureEnclosure e{uid, port, {{"Slot-A", "disk92"}, {"Slot-C", "disk94"}, {"Slot-D", "disk95"}}};
    if (newDiskInBayB)
        e.disks.insert(1, {"Slot-B", "disk96", 2});
    return e;
}

// Selects tank's gone member and clicks Replace.
void startWizard(StartedMainWindow& w)
{
    w.selectPool(0);
    const int row = w.memberRow(gone);
    ASSERT_GE(row, 0);
    w.selectMember(row);
    ASSERT_TRUE(w.pools()->ReplaceBtn()->isEnabled());
    w.pools()->ReplaceBtn()->click();
}

QMessageBox* onlyAlert(StartedMainWindow& w)
{
    const QList<QMessageBox*> boxes = w.alerts();
    EXPECT_EQ(boxes.size(), 1);
    return boxes.isEmpty() ? nullptr : boxes.first();
}

// Runs the three alerts with their first buttons; returns when step 3's OK was pressed.
void walkToRebuild(MainWinHarness& h, StartedMainWindow& w)
{
    startWizard(w);
    QMessageBox* step1 = onlyAlert(w);
    ASSERT_TRUE(step1);
    h.zpool.setOutputFromFile("list", mainwinData("list-none.txt"));  // the export worked
    press(step1, "Eject");
    QMessageBox* step2 = onlyAlert(w);
    ASSERT_TRUE(step2);
    ASSERT_EQ(step2->text(), "Disk Replacement – Step 2");
    press(step2, "OK");
    QMessageBox* step3 = onlyAlert(w);
    ASSERT_TRUE(step3);
    ASSERT_EQ(step3->text(), "Disk Replacement – Step 3");
    h.zpool.setOutputFromFile("list", mainwinData("list-tank-degraded.txt"));  // imported again
    press(step3, "OK");
}

}  // namespace

TEST(ReplaceWizard, EndToEnd)
{
    MainWinHarness h({tankEnclosure(true)});
    h.useOutputs("list-tank-degraded.txt", "status-tank-degraded.txt");
    StartedMainWindow w(h);
    LogCapture log;
    QList<UserInfo> step2Payloads;
    h.center.addObserver("ReplaceStep2", nullptr, [&](const Notification& n) { step2Payloads << n.userInfo; });

    startWizard(w);
    QMessageBox* step1 = onlyAlert(w);
    ASSERT_TRUE(step1);
    EXPECT_EQ(step1->text(), QString::fromUtf8("Disk Replacement \u2013 Step 1"));
    EXPECT_EQ(step1->informativeText(), "To replace the disk, tank has to be ejected now.");
    EXPECT_EQ(buttonTexts(step1), (QStringList{"Eject", "Cancel"}));
    EXPECT_EQ(step1->icon(), QMessageBox::Information);
    EXPECT_EQ(step1->windowModality(), Qt::WindowModal);

    h.zpool.clearCalls();
    h.zpool.setOutputFromFile("list", mainwinData("list-none.txt"));
    press(step1, "Eject");
    EXPECT_EQ(h.actions(), (QList<QStringList>{{"export", "tank"}}));
    ASSERT_EQ(step2Payloads.size(), 1);
    EXPECT_EQ(step2Payloads.first().value("raidName"), "tank");
    EXPECT_EQ(step2Payloads.first().value("diskName"), gone);
    EXPECT_EQ(step2Payloads.first().value("diskSlot"), "Slot-B");

    QMessageBox* step2 = onlyAlert(w);
    ASSERT_TRUE(step2);
    EXPECT_EQ(step2->text(), QString::fromUtf8("Disk Replacement \u2013 Step 2"));
    EXPECT_EQ(step2->informativeText(), "Disconnect the Thunderbolt cable and then click OK to continue.");
    EXPECT_EQ(buttonTexts(step2), (QStringList{"OK", "Cancel"}));
    press(step2, "OK");

    QMessageBox* step3 = onlyAlert(w);
    ASSERT_TRUE(step3);
    EXPECT_EQ(step3->text(), QString::fromUtf8("Disk Replacement \u2013 Step 3"));
    EXPECT_EQ(step3->informativeText(),
              "Replace the disk in Slot-B. When done, reconnect the Thunderbolt cable and then click "
              "OK to start rebuilding the RAID set.");
    EXPECT_EQ(buttonTexts(step3), (QStringList{"OK", "Cancel"}));

    h.zpool.setOutputFromFile("list", mainwinData("list-tank-degraded.txt"));
    h.zpool.clearCalls();
    QElapsedTimer clock;
    clock.start();
    press(step3, "OK");
    EXPECT_TRUE(h.zpool.calls().isEmpty());  // step 4 waits a second
    ASSERT_TRUE(waitUntil([&] { return !h.actions().isEmpty() && h.actions().last().value(0) == "replace"; }));
    EXPECT_GE(clock.elapsed(), 1000);

    EXPECT_EQ(h.actions(), (QList<QStringList>{{"import", "tank"}, {"replace", "-f", "tank", gone, "disk96"}}));
    EXPECT_EQ(h.ejector.calls(), QStringList{"/dev/disk96"});
    // The ejection comes before the replace request.
    const QStringList lines = log.lines();
    const int count = int(lines.indexOf("[hddInfo.bsdPathArray count] = 2"));
    const int ejected = int(lines.indexOf("ejected /dev/disk96"));
    const int replaced = int(lines.indexOf("REPLACE tank " + gone + " disk96"));
    EXPECT_GE(count, 0);
    EXPECT_GT(ejected, count);
    EXPECT_GT(replaced, ejected);
    EXPECT_TRUE(w.alerts().isEmpty());
}

TEST(ReplaceWizard, NoNewDiskWhenTheBayIsEmpty)
{
    MainWinHarness h({tankEnclosure(false)});
    h.useOutputs("list-tank-degraded.txt", "status-tank-degraded.txt");
    StartedMainWindow w(h);
    LogCapture log;
    walkToRebuild(h, w);
    ASSERT_TRUE(waitUntil([&] { return log.count("No New Disk") == 1; }));
    const QList<QStringList> actions = h.actions();
    EXPECT_EQ(actions.first(), (QStringList{"export", "tank"}));
    EXPECT_EQ(actions.last(), (QStringList{"import", "tank"}));  // the pool is imported again
    EXPECT_TRUE(h.ejector.calls().isEmpty());
    for (const QStringList& c : actions)
        EXPECT_NE(c.value(0), "replace");
}

TEST(ReplaceWizard, CancelInStepOneRunsNothing)
{
    MainWinHarness h({tankEnclosure(true)});
    h.useOutputs("list-tank-degraded.txt", "status-tank-degraded.txt");
    StartedMainWindow w(h);
    startWizard(w);
    h.zpool.clearCalls();
    press(onlyAlert(w), "Cancel");
    QTest::qWait(50);
    EXPECT_TRUE(h.zpool.calls().isEmpty());
    EXPECT_TRUE(w.alerts().isEmpty());
}

TEST(ReplaceWizard, FailedExportEndsTheWizardWithTheToolsMessage)
{
    struct Case {
        const char* output;
        const char* error;
        const char* quoted;
    };
    // zpool's complaint comes on stderr; it is quoted trimmed.
    const Case cases[] = {
        {"", "cannot export 'tank': pool is busy\n", "zpool said: cannot export 'tank': pool is busy"},
        {"Canceled", "", "The administrator authorization was cancelled."},
        {"", "", "zpool gave no message."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.quoted);
        MainWinHarness h({tankEnclosure(true)});
        h.useOutputs("list-tank-degraded.txt", "status-tank-degraded.txt");
        h.zpool.setOutput("export", c.output);
        h.zpool.setError("export", c.error);
        StartedMainWindow w(h);
        int step2Posts = 0;
        h.center.addObserver("ReplaceStep2", nullptr, [&](const Notification&) { ++step2Posts; });
        LogCapture log;

        startWizard(w);
        press(onlyAlert(w), "Eject");  // zpool list still shows tank
        EXPECT_EQ(step2Posts, 0);
        QMessageBox* failed = onlyAlert(w);
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->icon(), QMessageBox::Warning);
        EXPECT_EQ(failed->text(), "tank could not be ejected");
        EXPECT_TRUE(failed->informativeText().contains("Keep the Thunderbolt cable connected"));
        EXPECT_TRUE(failed->informativeText().endsWith(c.quoted))
            << qPrintable(failed->informativeText());
        EXPECT_EQ(buttonTexts(failed), QStringList{"OK"});
        press(failed, "OK");
        EXPECT_TRUE(w.alerts().isEmpty());
        EXPECT_EQ(h.actions(), (QList<QStringList>{{"export", "tank"}}));
        EXPECT_EQ(log.lines().filter("Export of tank failed").size(), 1);
    }
}

TEST(ReplaceWizard, ExportsThePoolStepOneNamedWhateverIsSelectedNow)
{
    MainWinHarness h({tankEnclosure(true)});
    h.useOutputs("list-all-health.txt", "status-all-health.txt");
    StartedMainWindow w(h);
    QList<UserInfo> step2Payloads;
    h.center.addObserver("ReplaceStep2", nullptr, [&](const Notification& n) { step2Payloads << n.userInfo; });

    startWizard(w);
    w.selectPool(1);  // media, while step 1 is open
    w.selectMember(0);
    h.zpool.clearCalls();
    h.zpool.setOutputFromFile("list", mainwinData("list-none.txt"));
    press(onlyAlert(w), "Eject");
    EXPECT_EQ(h.actions(), (QList<QStringList>{{"export", "tank"}}));
    ASSERT_EQ(step2Payloads.size(), 1);
    EXPECT_EQ(step2Payloads.first().value("raidName"), "tank");
    EXPECT_EQ(step2Payloads.first().value("diskName"), gone);
    EXPECT_EQ(step2Payloads.first().value("diskSlot"), "Slot-B");
}

TEST(ReplaceWizard, TwoEnclosuresNeverTouchTheOtherEnclosuresDisk)
{
    // The other enclosure comes first in the scan and has a disk in the same bay.
    const FixtureEnclosure other{2002, 1, {{"Slot-B", "disk97"}}};
    for (const bool newDisk : {false, true}) {
        SCOPED_TRACE(newDisk ? "new disk in tank's enclosure" : "tank's bay still empty");
        MainWinHarness h({other, tankEnclosure(newDisk, 1001, 2)});
        h.useOutputs("list-tank-degraded.txt", "status-tank-degraded.txt");
        StartedMainWindow w(h);
        LogCapture log;
        walkToRebuild(h, w);
        ASSERT_TRUE(waitUntil([&] { return log.count("No New Disk") + log.lines().filter("REPLACE ").size() > 0; }));
        EXPECT_FALSE(h.ejector.calls().contains("/dev/disk97"));
        for (const QStringList& c : h.actions())
            EXPECT_FALSE(c.contains("disk97"));
        if (newDisk) {
            EXPECT_EQ(h.ejector.calls(), QStringList{"/dev/disk96"});
            EXPECT_EQ(h.actions().last(), (QStringList{"replace", "-f", "tank", gone, "disk96"}));
        } else {
            EXPECT_TRUE(h.ejector.calls().isEmpty());
            EXPECT_EQ(log.count("No New Disk"), 1);
        }
    }
}

TEST(ReplaceWizard, UndecidableEnclosureStartsNothing)
{
    // tank's disks sit in no enclosure, so no bay can be trusted.
    MainWinHarness h({{2002, 1, {{"Slot-C", "disk97"}}}});
    h.useOutputs("list-tank-degraded.txt", "status-tank-degraded.txt");
    StartedMainWindow w(h);
    LogCapture log;
    int step1Posts = 0;
    h.center.addObserver("ReplaceStep1", nullptr, [&](const Notification&) { ++step1Posts; });
    h.zpool.clearCalls();
    startWizard(w);
    EXPECT_EQ(step1Posts, 0);
    QMessageBox* refused = onlyAlert(w);
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->informativeText().contains("Nothing was changed"));
    EXPECT_EQ(log.lines().filter("Replace of " + gone + " in tank refused").size(), 1);
    EXPECT_TRUE(h.actions().isEmpty());
}
