#include "Records.h"
#include "pools/HealthWatch.h"
#include "pools/ScanProgress.h"
#include "support/QtPrinters.h"
#include "zpool/ZpoolStatus.h"

#include <QFile>

#include <gtest/gtest.h>

TEST(HealthWatch, TellsEachChangeOnceWithDiskBayAndEnclosure)
{
    auto tank = [](const char* health, const char* members, const char* scan = nullptr) {
        const RaidInfoPtr p = pool("tank", members, health);
        if (scan)
            p->scan = RaidScan::parse(QByteArray(scan));
        return RaidList{p};
    };
    const RaidList healthy = tank("ONLINE", "tank:ONLINE raidz1-0:ONLINE disk90:ONLINE::A disk91:ONLINE::B");
    const RaidList offline = tank("DEGRADED", "tank:DEGRADED raidz1-0:DEGRADED disk90:ONLINE::A disk91:OFFLINE::B");
    const RaidList gone = tank("DEGRADED", "disk90:ONLINE::A 8549508563890211618:UNAVAIL::B:was_/dev/disk91");
    const RaidList errors = tank("ONLINE", "disk90:ONLINE:3,0,1.5K:A disk91:ONLINE::B");
    const RaidList moreErrors = tank("ONLINE", "disk90:ONLINE:3,1,2K:A disk91:ONLINE::B");
    const RaidList resilvering = tank("ONLINE", "disk90:ONLINE",
                                           "resilver in progress for 0h0m, 55.31% done, 0h0m to go");
    const RaidList resilvered = tank("ONLINE", "disk90:ONLINE",
                                          "resilver completed after 0h0m with 0 errors on Sun Dec  6 14:48:40 2026");
    const RaidList ejected = tank("DEGRADED EJECTED", "");
    const RaidList other{pool("photos", "disk93:FAULTED", "DEGRADED")};

    // A pulled disk, and an unchanged pool, are met for real in the watch story.
    const struct { const char* what; RaidList before, after; QStringList expected; } cases[] = {
        {"a disk back", offline, healthy, {"tank is ONLINE: disk91 in Slot-B of Varnelo Quad TB2 enclosure 1 is ONLINE"}},
        {"a disk zfs names by number now", offline, gone,
         {"tank is DEGRADED: disk91 in Slot-B of Varnelo Quad TB2 enclosure 1 is UNAVAIL"}},
        {"errors grew", healthy, errors,
         {"tank is ONLINE: disk90 in Slot-A of Varnelo Quad TB2 enclosure 1 has 3 read, 1.5K checksum errors"}},
        {"more errors, in units", errors, moreErrors,
         {"tank is ONLINE: disk90 in Slot-A of Varnelo Quad TB2 enclosure 1 has 1 write, 2K checksum errors"}},
        {"errors cleared", errors, healthy, {}},
        {"a resilver ended", resilvering, resilvered, {"tank is ONLINE: Rebuild (resilver) finished with no errors"}},
        {"the same ended resilver again", resilvered, resilvered, {}},
        {"a pool imported", {}, offline, {}},
        {"a pool ejected", offline, ejected, {}},
        {"a pool mounted again", ejected, healthy, {}},
        {"another pool came", offline, offline + other, {}},
    };
    for (const auto& c : cases) {
        QStringList told;
        for (const HealthWatch::Change& change : HealthWatch::changes(c.before, c.after))
            told << change.text();
        EXPECT_EQ(told, c.expected) << c.what;
    }
}

TEST(ScanProgress, SaysWhatRunsOrHowTheLastScanEnded)
{
    const struct { const char* file; const char* pool; const char* text; bool enabled, stops; } cases[] = {
        {"status-zfsfuse-scrub-in-progress-errors.txt", "ip_one",
         "Verifying: 73.0% done, less than a minute left, 252 errors so far", true, true},
        {"status-zfsfuse-resilver-in-progress.txt", "ip_mir",
         "Rebuilding (resilver): 55.3% done, less than a minute left, no errors so far", false, false},
        {"status-zfsfuse-scrub-stopped.txt", "ip_rz", "Last verified on 6 Dec 2026 14:48: no errors", true, false},
        {"status-zfsfuse-missing-member.txt", "pools_rz", "Never verified", true, false},
    };
    for (const auto& c : cases) {
        QFile f(QStringLiteral(TARNWELL_TEST_DATA "/zpool/") + c.file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << c.file;
        const RaidInfoPtr p = pool(c.pool);
        ZpoolStatus::ShowRAIDStatus(f.readAll(), {p});
        EXPECT_EQ(ScanProgress::text(*p), c.text) << c.file;
        const ScanProgress::VerifyButton b = ScanProgress::verifyButton(p.get());
        EXPECT_EQ(b.enabled, c.enabled) << c.file;
        EXPECT_EQ(b.stops, c.stops) << c.file;
    }
    const RaidInfoPtr ejected = pool("old", {}, "EJECTED");
    EXPECT_FALSE(ScanProgress::verifyButton(ejected.get()).enabled);
    EXPECT_EQ(ScanProgress::text(*ejected), "");
}
