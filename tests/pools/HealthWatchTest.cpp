// The health watch's diff and the pool view's scan line, on hand-made
// records and on recorded zpool status texts.
#include "pools/HealthWatch.h"
#include "pools/ScanProgress.h"
#include "support/QtPrinters.h"
#include "zpool/ZpoolStatus.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

struct M {
    const char* name;
    const char* state;
    const char* read = "0";
    const char* cksum = "0";
    const char* slot = nullptr;
    const char* others = "";
};

RaidInfoPtr pool(const char* name, const char* health, std::initializer_list<M> members, const char* scan = nullptr)
{
    auto p = std::make_shared<RaidInfo>();
    p->Name = QString::fromLatin1(name);
    p->Health = QString::fromLatin1(health);
    for (const M& m : members) {
        auto s = std::make_shared<RaidStatus>();
        s->DiskName = QString::fromLatin1(m.name);
        s->State = QString::fromLatin1(m.state);
        s->Read = QString::fromLatin1(m.read);
        s->Write = QStringLiteral("0");
        s->CKSum = QString::fromLatin1(m.cksum);
        s->Others = QString::fromLatin1(m.others);
        s->mountOn = p->Name;
        if (m.slot) {
            s->slotPath = QString::fromLatin1(m.slot);
            s->enclosure = QStringLiteral("uid 1");
            s->enclosureNumber = 1;
            s->enclosureName = QStringLiteral("Varnelo Quad TB2");
        }
        p->Status << s;
    }
    if (scan)
        p->scan = RaidScan::parse(QByteArray(scan));
    return p;
}

QStringList texts(const RaidList& before, const RaidList& after)
{
    QStringList out;
    for (const HealthWatch::Change& c : HealthWatch::changes(before, after))
        out << c.text();
    return out;
}

const char* Running = "resilver in progress for 0h0m, 55.31% done, 0h0m to go";
const char* Resilvered = "resilver completed after 0h0m with 0 errors on Sun Dec  6 14:48:40 2026";

TEST(HealthWatch, TellsEachChangeOnceWithDiskBayAndEnclosure)
{
    const RaidList healthy{pool("tank", "ONLINE", {{"tank", "ONLINE"}, {"raidz1-0", "ONLINE"},
                                                   {"disk90", "ONLINE", "0", "0", "Slot-A"},
                                                   {"disk91", "ONLINE", "0", "0", "Slot-B"}})};
    const RaidList offline{pool("tank", "DEGRADED", {{"tank", "DEGRADED"}, {"raidz1-0", "DEGRADED"},
                                                     {"disk90", "ONLINE", "0", "0", "Slot-A"},
                                                     {"disk91", "OFFLINE", "0", "0", "Slot-B"}})};
    const RaidList gone{pool("tank", "DEGRADED", {{"disk90", "ONLINE", "0", "0", "Slot-A"},
                                                  {"8549508563890211618", "UNAVAIL", "0", "0", "Slot-B",
                                                   "was /dev/disk91"}})};
    const RaidList errors{pool("tank", "ONLINE", {{"disk90", "ONLINE", "3", "1.5K", "Slot-A"},
                                                  {"disk91", "ONLINE", "0", "0", "Slot-B"}})};
    const RaidList moreErrors{pool("tank", "ONLINE", {{"disk90", "ONLINE", "3", "2K", "Slot-A"},
                                                      {"disk91", "ONLINE", "0", "0", "Slot-B"}})};
    const RaidList resilvering{pool("tank", "ONLINE", {{"disk90", "ONLINE"}}, Running)};
    const RaidList resilvered{pool("tank", "ONLINE", {{"disk90", "ONLINE"}}, Resilvered)};
    const RaidList ejected{pool("tank", "DEGRADED EJECTED", {})};
    const RaidList other{pool("photos", "DEGRADED", {{"disk93", "FAULTED"}})};

    struct Case {
        const char* what;
        RaidList before, after;
        QStringList expected;
    };
    const Case cases[] = {
        {"nothing changed", offline, offline, {}},
        {"a disk pulled",
         healthy,
         offline,
         {"tank is DEGRADED: disk91 in Slot-B of Varnelo Quad TB2 enclosure 1 is OFFLINE"}},
        {"a disk back", offline, healthy, {"tank is ONLINE: disk91 in Slot-B of Varnelo Quad TB2 enclosure 1 is ONLINE"}},
        {"a disk zfs names by number now",
         offline,
         gone,
         {"tank is DEGRADED: disk91 in Slot-B of Varnelo Quad TB2 enclosure 1 is UNAVAIL"}},
        {"errors grew",
         healthy,
         errors,
         {"tank is ONLINE: disk90 in Slot-A of Varnelo Quad TB2 enclosure 1 has 3 read, 1.5K checksum errors"}},
        {"more errors in units",
         errors,
         moreErrors,
         {"tank is ONLINE: disk90 in Slot-A of Varnelo Quad TB2 enclosure 1 has 2K checksum errors"}},
        {"errors cleared", errors, healthy, {}},
        {"a resilver ended", resilvering, resilvered, {"tank is ONLINE: Rebuild (resilver) finished with no errors"}},
        {"the same ended resilver again", resilvered, resilvered, {}},
        {"a pool imported", {}, offline, {}},
        {"a pool ejected", offline, ejected, {}},
        {"a pool mounted again", ejected, healthy, {}},
        {"another pool came", offline, offline + other, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(texts(c.before, c.after), c.expected) << c.what;
}

// The pool of that name as a refresh reads it from a recorded status text.
RaidInfoPtr recorded(const char* file, const char* name)
{
    QFile f(QStringLiteral(TARNWELL_TEST_DATA "/zpool/") + QString::fromLatin1(file));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file;
    RaidInfoPtr p = pool(name, "ONLINE", {});
    ZpoolStatus::ShowRAIDStatus(f.readAll(), {p});
    return p;
}

TEST(ScanProgress, SaysWhatRunsOrHowTheLastScanEnded)
{
    struct Case {
        const char* file;
        const char* pool;
        const char* text;
        bool enabled, stops;
    };
    const Case cases[] = {
        {"status-zfsfuse-scrub-in-progress-errors.txt", "ip_one",
         "Verifying: 73.0% done, less than a minute left, 252 errors so far", true, true},
        {"status-zfsfuse-resilver-in-progress.txt", "ip_mir",
         "Rebuilding (resilver): 55.3% done, less than a minute left, no errors so far", false, false},
        {"status-zfsfuse-scrub-stopped.txt", "ip_rz", "Last verified on 6 Dec 2026 14:48: no errors", true, false},
        {"status-zfsfuse-missing-member.txt", "pools_rz", "Never verified", true, false},
    };
    for (const Case& c : cases) {
        const RaidInfoPtr p = recorded(c.file, c.pool);
        EXPECT_EQ(ScanProgress::text(*p), c.text) << c.file;
        const ScanProgress::VerifyButton b = ScanProgress::verifyButton(p.get());
        EXPECT_EQ(b.enabled, c.enabled) << c.file;
        EXPECT_EQ(b.stops, c.stops) << c.file;
    }
    const RaidInfoPtr ejected = pool("old", "EJECTED", {});
    EXPECT_FALSE(ScanProgress::verifyButton(ejected.get()).enabled);
    EXPECT_EQ(ScanProgress::text(*ejected), "");
}

}  // namespace
