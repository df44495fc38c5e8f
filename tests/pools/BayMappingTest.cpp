#include "Records.h"
#include "pools/BayMapping.h"
#include "pools/BayMemory.h"
#include "support/QtPrinters.h"
#include "support/ShellScript.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// Pools as "name:member,member ... name:...": "!" marks a gone (OFFLINE)
// member, "=text" gives its other column.
static RaidList pools(const QString& rows)
{
    RaidList list;
    for (const QString& row : rows.split(' ', Qt::SkipEmptyParts))
        list << pool(row.section(':', 0, 0),
                     row.section(':', 1).replace(',', ' ').replace("!=", ":OFFLINE:::").replace("!", ":OFFLINE"));
    return list;
}

const char* const kFour = "1: Slot-A=/dev/disk2 Slot-B=/dev/disk3 Slot-C=/dev/disk4 Slot-D=/dev/disk5";

// Matched, unknown and enclosure-named bays are met in the user story.
TEST(BayMapping, EveryMembersBayIsKnownOrUnknown)
{
    // Remembered as "pool/member=uid:slot ...", bays as each member shows, "-" for none.
    const struct { const char* name; const char* pools; const char* enclosures; const char* remembered;
                   const char* bays; } cases[] = {
        {"an ejected set's disk fills a bay, so its bay is not guessed", "t1:disk3,disk4,disk5!",
         "1: Slot-A=/dev/disk90 Slot-B=/dev/disk3 Slot-C=/dev/disk4", "", "Slot-B Slot-C Slot-D"},
        {"no empty bay: unknown", "tank:disk2,disk93!", kFour, "", "Slot-A unknown"},
        {"the remembered bay wins", "tank:disk2,disk93!", "1: Slot-A=/dev/disk2", "tank/disk93=1:Slot-C",
         "Slot-A Slot-C"},
        {"remembered under the name zpool says it was", "tank:disk2,123456!=was_/dev/disk93", "1: Slot-A=/dev/disk2",
         "tank/disk93=1:Slot-D", "Slot-A Slot-D"},
        {"two remembered in one bay: both unknown", "a:disk2,disk7! b:disk3,disk8!",
         "1: Slot-A=/dev/disk2 Slot-B=/dev/disk3", "a/disk7=1:Slot-C b/disk8=1:Slot-C", "Slot-A unknown Slot-B unknown"},
        {"another pool's gone member in the same empty bay", "a:disk2,disk7! b:disk3,disk8!",
         "1: Slot-A=/dev/disk2 Slot-B=/dev/disk3 Slot-C=/dev/disk4", "", "Slot-A unknown Slot-B unknown"},
        {"members spread over enclosures: no guess", "tank:disk2,disk12,999!",
         "1: Slot-A=/dev/disk2 | 2: Slot-B=/dev/disk12", "",
         "Slot-A, enclosure 1 Slot-B, enclosure 2 unknown"},
        {"online but on no enclosure disk, and group lines: no bay", "rpool:sda,mirror-0,disk2", "1: Slot-A=/dev/disk2",
         "", "- - Slot-A"},
        {"only ejected pools: nothing written", "gone: also:", kFour, "", ""},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        BayMemory memory(dir.filePath("bays.json"));
        for (const QString& r : QString(c.remembered).split(' ', Qt::SkipEmptyParts))
            memory.remember(r.section('/', 0, 0), r.section('/', 1).section('=', 0, 0),
                            {"uid:" + r.section('=', 1).section(':', 0, 0), r.section(':', 1), {}});
        const RaidList list = pools(c.pools);
        BayMapping::getDiskSlot(list, enclosures(c.enclosures), &memory);
        QStringList bays;
        for (const auto& p : list)
            for (const auto& m : p->Status)
                bays << (m->slotPath ? BayMapping::bayText(*m) : "-");
        EXPECT_EQ(bays.join(' '), c.bays) << c.name;
    }
}

TEST(BayMapping, RemembersWhereEachMemberWasSeenAcrossRuns)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("config/tarnwell/bays.json");
    BayMemory first(file);
    BayMapping::getDiskSlot(pools("tank:disk2,disk3,disk4"), enclosures(kFour), &first);
    // Slot-B's disk leaves, two bays are empty: only memory knows. Then a corrupt file, one empty bay.
    for (const char* bays :
         {"1: Slot-A=/dev/disk2 Slot-C=/dev/disk4", "1: Slot-A=/dev/disk2 Slot-C=/dev/disk4 Slot-D=/dev/disk5"}) {
        BayMemory later(file);
        const RaidList list = pools("tank:disk2,disk3!,disk4");
        BayMapping::getDiskSlot(list, enclosures(bays), &later);
        EXPECT_EQ(list[0]->Status[1]->slotPath, "Slot-B") << bays;
        writeFile(file, "{\"members\": [ garbage");
    }
}
