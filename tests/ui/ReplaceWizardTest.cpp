#include "support/LogCapture.h"
#include "support/MainWinHarness.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QPushButton>

namespace {
const QString gone = QStringLiteral("1234567890123456789");

// tank's enclosure, second in the scan: disk92, disk94 and disk95 in bays A, C and D,
// and a new disk in B if asked.
FixtureEnclosure tankEnclosure(bool newDiskInBayB)
{
    FixtureEnclosure e{1001, 2, {{"Slot-A", "disk92"}, {"Slot-C", "disk94"}, {"Slot-D", "disk95"}}};
    if (newDiskInBayB)
        e.disks.insert(1, {"Slot-B", "disk96", 2});
    return e;
}

// The main window on degraded tank and media, with its log recorded.
struct Wizard {
    explicit Wizard(const QList<FixtureEnclosure>& enclosures) : h(enclosures)
    {
        h.useOutputs("list-all-health.txt", "status-all-health.txt");
        w = std::make_unique<StartedMainWindow>(h);
    }
    // Selects tank's gone member and clicks Replace.
    void start()
    {
        w->selectPool(0);
        w->selectMember(w->memberRow(gone));
        ASSERT_TRUE(w->pools()->ReplaceBtn()->isEnabled());
        w->pools()->ReplaceBtn()->click();
        w->settle();
    }
    QMessageBox* alert() const { EXPECT_EQ(w->alerts().size(), 1); return w->alerts().value(0); }
    // Answers with `button`, zpool list then printing `listAfter`.
    void answer(const QString& button, const char* listAfter = nullptr)
    {
        ASSERT_EQ(w->alerts().size(), 1);
        if (listAfter)
            h.zpool.setOutputFromFile("list", mainwinData(listAfter));
        press(w->alerts().first(), button);
        w->settle();
    }
    // The user swaps the disk: the enclosures now look like this.
    void swapDisks(const QList<FixtureEnclosure>& enclosures)
    {
        QSignalSpy reloaded(h.registry.get(), &FixtureRegistry::reloaded);
        RegistryFixture::write(h.registry->jsonPath(), enclosures);
        ASSERT_TRUE(reloaded.wait(5000));
    }
    bool rebuildDone() const { return log.count("No New Disk") + log.lines().filter("REPLACE ").size() > 0; }

    MainWinHarness h;
    std::unique_ptr<StartedMainWindow> w;
    LogCapture log;
};

}  // namespace

// Another enclosure comes first in the scan and gains a disk in the same bay too.
const FixtureEnclosure other{2002, 1, {{"Slot-A", "disk98"}}};
const FixtureEnclosure otherGains{2002, 1, {{"Slot-A", "disk98"}, {"Slot-B", "disk97", 0}}};

TEST(ReplaceWizard, EndToEnd)
{
    Wizard z({other, tankEnclosure(false)});
    // Cancel at step 2 or 3 refreshes: the exported pool must not linger in the view.
    for (int cancelAt : {2, 3}) {
        z.start();
        z.answer("Eject", "list-none.txt");
        if (cancelAt == 3)
            z.answer("OK");
        z.h.zpool.clearCalls();
        z.answer("Cancel", "list-all-health.txt");
        EXPECT_TRUE(z.h.zpool.calls().contains(QStringList{"list"})) << cancelAt;
    }

    // Step 1 exports the pool it named, whatever is selected by the time it is answered.
    z.h.zpool.clearCalls();
    z.start();
    z.w->selectPool(1);
    z.w->selectMember(0);
    z.answer("Eject", "list-none.txt");
    EXPECT_EQ(z.h.actions(), (QList<QStringList>{{"export", "tank"}}));
    z.answer("OK");
    EXPECT_TRUE(z.alert()->informativeText().startsWith("Replace the disk in Slot-B, enclosure 2."));
    z.swapDisks({otherGains, tankEnclosure(true)});
    z.h.zpool.clearCalls();
    QElapsedTimer clock;
    clock.start();
    z.answer("OK", "list-tank-degraded.txt");
    EXPECT_TRUE(z.h.zpool.calls().isEmpty());  // step 4 waits a second
    // The new disk holds a volume: Erase lets the rebuild go on.
    ASSERT_TRUE(waitUntil([&] { return z.w->alerts().size() == 1; }, 3000));
    EXPECT_EQ(z.alert()->text(), "Erase the data on the new disk?");
    EXPECT_EQ(z.alert()->defaultButton()->text(), "Cancel");
    press(z.alert(), "Erase");
    ASSERT_TRUE(waitUntil([&] { return z.rebuildDone(); }));
    EXPECT_GE(clock.elapsed(), 1000);

    // The new disk of the pool's own enclosure, ejected before the replace request.
    EXPECT_EQ(z.h.actions(), (QList<QStringList>{{"import", "tank"}, {"replace", "-f", "tank", gone, "disk96"}}));
    EXPECT_EQ(z.h.ejector.calls(), QStringList{"/dev/disk96"});
    const qsizetype ejected = z.log.lines().indexOf("ejected /dev/disk96");
    EXPECT_GE(ejected, 0);
    EXPECT_GT(z.log.lines().indexOf("REPLACE tank " + gone + " disk96"), ejected);
    EXPECT_TRUE(z.w->alerts().isEmpty());
}

TEST(ReplaceWizard, OnlyAnotherEnclosureGainingADiskIsNoNewDisk)
{
    Wizard z({other, tankEnclosure(false)});
    z.start();
    z.answer("Eject", "list-none.txt");
    z.answer("OK");
    z.swapDisks({otherGains, tankEnclosure(false)});
    z.answer("OK", "list-tank-degraded.txt");
    ASSERT_TRUE(waitUntil([&] { return z.rebuildDone(); }));
    // The pool is imported again, nothing else.
    EXPECT_EQ(z.h.actions(), (QList<QStringList>{{"export", "tank"}, {"import", "tank"}}));
    EXPECT_TRUE(z.h.ejector.calls().isEmpty());
    EXPECT_EQ(z.log.count("No New Disk"), 1);
    EXPECT_EQ(z.alert()->text(), "No new disk for tank");
}
