#include "support/LogCapture.h"
#include "support/MainWinHarness.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QPushButton>

namespace {
const QString gone = QStringLiteral("1234567890123456789");

// tank's enclosure: disk92, disk94 and disk95 in bays A, C and D, and a new disk in B if asked.
FixtureEnclosure tankEnclosure(bool newDiskInBayB, int port = 0)
{
    FixtureEnclosure e{1001, port, {{"Slot-A", "disk92"}, {"Slot-C", "disk94"}, {"Slot-D", "disk95"}}};
    if (newDiskInBayB)
        e.disks.insert(1, {"Slot-B", "disk96", 2});
    return e;
}

// The main window on degraded tank, with its step 2 payloads and log recorded.
struct Wizard {
    explicit Wizard(const QList<FixtureEnclosure>& enclosures, const QString& list = "list-tank-degraded.txt",
                    const QString& status = "status-tank-degraded.txt")
        : h(enclosures)
    {
        h.useOutputs(list, status);
        w = std::make_unique<StartedMainWindow>(h);
        h.center.addObserver("ReplaceStep2", nullptr, [this](const Notification& n) { step2 << n.userInfo; });
    }
    // Selects tank's gone member and clicks Replace.
    void start()
    {
        w->selectPool(0);
        const int row = w->memberRow(gone);
        ASSERT_GE(row, 0);
        w->selectMember(row);
        ASSERT_TRUE(w->pools()->ReplaceBtn()->isEnabled());
        w->pools()->ReplaceBtn()->click();
        w->settle();
    }
    QMessageBox* alert() const
    {
        const QList<QMessageBox*> boxes = w->alerts();
        EXPECT_EQ(boxes.size(), 1);
        return boxes.value(0);
    }
    // Answers with `button`; the export works (tank leaves the list) and a rebuild imports it again.
    void answer(const QString& button, const char* listAfter = nullptr)
    {
        QMessageBox* box = alert();
        ASSERT_TRUE(box);
        if (listAfter)
            h.zpool.setOutputFromFile("list", mainwinData(listAfter));
        press(box, button);
        w->settle();
    }
    // The user swaps the disk: the enclosures now look like this.
    void swapDisks(const QList<FixtureEnclosure>& enclosures)
    {
        QSignalSpy reloaded(h.registry.get(), &FixtureRegistry::reloaded);
        RegistryFixture::write(h.registry->jsonPath(), enclosures);
        ASSERT_TRUE(reloaded.wait(5000));
    }
    void walkToRebuild(const QList<FixtureEnclosure>& after = {})
    {
        ASSERT_NO_FATAL_FAILURE(start());
        ASSERT_NO_FATAL_FAILURE(answer("Eject", "list-none.txt"));
        ASSERT_NO_FATAL_FAILURE(answer("OK"));
        if (!after.isEmpty()) {
            ASSERT_NO_FATAL_FAILURE(swapDisks(after));
        }
        ASSERT_NO_FATAL_FAILURE(answer("OK", "list-tank-degraded.txt"));
    }
    // The new disk holds a volume: Erase lets the rebuild go on.
    void eraseNewDisk()
    {
        ASSERT_TRUE(waitUntil([&] { return w->alerts().size() == 1; }, 3000));
        QMessageBox* box = alert();
        EXPECT_EQ(box->text(), "Erase the data on the new disk?");
        EXPECT_EQ(box->defaultButton()->text(), "Cancel");
        press(box, "Erase");
    }
    bool rebuildDone() const { return log.count("No New Disk") + log.lines().filter("REPLACE ").size() > 0; }

    MainWinHarness h;
    std::unique_ptr<StartedMainWindow> w;
    LogCapture log;
    QList<UserInfo> step2;
};

}  // namespace

TEST(ReplaceWizard, EndToEnd)
{
    Wizard z({tankEnclosure(false)});
    // Step 1's Cancel runs nothing.
    z.start();
    z.h.zpool.clearCalls();
    z.answer("Cancel");
    QTest::qWait(50);
    EXPECT_TRUE(z.h.zpool.calls().isEmpty());
    EXPECT_TRUE(z.w->alerts().isEmpty());

    z.start();
    z.answer("Eject", "list-none.txt");
    EXPECT_EQ(z.h.actions(), (QList<QStringList>{{"export", "tank"}}));
    ASSERT_EQ(z.step2.size(), 1);
    EXPECT_EQ(z.step2.first().value("diskName"), gone);
    z.answer("OK");
    EXPECT_TRUE(z.alert()->informativeText().startsWith("Replace the disk in Slot-B."));
    z.swapDisks({tankEnclosure(true)});
    z.h.zpool.clearCalls();
    QElapsedTimer clock;
    clock.start();
    z.answer("OK", "list-tank-degraded.txt");
    EXPECT_TRUE(z.h.zpool.calls().isEmpty());  // step 4 waits a second
    z.eraseNewDisk();
    ASSERT_TRUE(waitUntil([&] { return z.rebuildDone(); }));
    EXPECT_GE(clock.elapsed(), 1000);

    EXPECT_EQ(z.h.actions(), (QList<QStringList>{{"import", "tank"}, {"replace", "-f", "tank", gone, "disk96"}}));
    EXPECT_EQ(z.h.ejector.calls(), QStringList{"/dev/disk96"});
    // The ejection comes before the replace request.
    const QStringList lines = z.log.lines();
    const qsizetype count = lines.indexOf("[hddInfo.bsdPathArray count] = 2");
    EXPECT_GE(count, 0);
    EXPECT_GT(lines.indexOf("ejected /dev/disk96"), count);
    EXPECT_GT(lines.indexOf("REPLACE tank " + gone + " disk96"), lines.indexOf("ejected /dev/disk96"));
    EXPECT_TRUE(z.w->alerts().isEmpty());
}

TEST(ReplaceWizard, RebuildLooksOnlyInThePoolsEnclosure)
{
    // Another enclosure comes first in the scan and gains a disk in the same bay too.
    const FixtureEnclosure other{2002, 1, {{"Slot-A", "disk98"}}};
    const FixtureEnclosure otherGains{2002, 1, {{"Slot-A", "disk98"}, {"Slot-B", "disk97", 0}}};
    const struct {
        const char* name;
        QList<FixtureEnclosure> before, after;
        bool newDisk;
    } cases[] = {
        {"bay still empty", {tankEnclosure(false)}, {}, false},
        {"only the other enclosure gains a disk", {other, tankEnclosure(false, 2)}, {otherGains, tankEnclosure(false, 2)},
         false},
        {"new disk in both enclosures", {other, tankEnclosure(false, 2)}, {otherGains, tankEnclosure(true, 2)}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Wizard z(c.before);
        z.walkToRebuild(c.after);
        if (c.newDisk)
            z.eraseNewDisk();
        ASSERT_TRUE(waitUntil([&] { return z.rebuildDone(); }));
        const QList<QStringList> actions = z.h.actions();
        EXPECT_EQ(actions.first(), (QStringList{"export", "tank"}));
        for (const QStringList& a : actions)
            EXPECT_FALSE(a.contains("disk97"));
        if (c.newDisk) {
            EXPECT_EQ(z.h.ejector.calls(), QStringList{"/dev/disk96"});
            EXPECT_EQ(actions.last(), (QStringList{"replace", "-f", "tank", gone, "disk96"}));
        } else {
            // The pool is imported again, nothing else.
            EXPECT_EQ(actions.last(), (QStringList{"import", "tank"}));
            EXPECT_TRUE(z.h.ejector.calls().isEmpty());
            EXPECT_EQ(z.log.count("No New Disk"), 1);
            EXPECT_EQ(z.alert()->text(), "No new disk for tank");
        }
    }
}

TEST(ReplaceWizard, ExportsThePoolStepOneNamedWhateverIsSelectedNow)
{
    Wizard z({tankEnclosure(false)}, "list-all-health.txt", "status-all-health.txt");
    z.start();
    z.w->selectPool(1);  // media, while step 1 is open
    z.w->selectMember(0);
    z.h.zpool.clearCalls();
    z.answer("Eject", "list-none.txt");
    EXPECT_EQ(z.h.actions(), (QList<QStringList>{{"export", "tank"}}));
    ASSERT_EQ(z.step2.size(), 1);
    EXPECT_EQ(z.step2.first().value("diskName"), gone);
    EXPECT_EQ(z.step2.first().value("diskSlot"), "Slot-B");
}
