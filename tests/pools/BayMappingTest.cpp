#include "pools/BayMapping.h"
#include "pools/BayMemory.h"
#include "support/QtPrinters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
// Pools as "name:member,member,... name:...": a member ending in "!" is gone
// (OFFLINE), "=text" gives its other column.
RaidList pools(const QString& rows)
{
    RaidList list;
    for (const QString& row : rows.split(' ', Qt::SkipEmptyParts)) {
        auto pool = std::make_shared<RaidInfo>();
        pool->Name = row.section(':', 0, 0);
        for (QString m : row.section(':', 1).split(',', Qt::SkipEmptyParts)) {
            auto s = std::make_shared<RaidStatus>();
            s->Others = m.section('=', 1).replace('_', ' ');
            m = m.section('=', 0, 0);
            s->State = m.endsWith('!') ? "OFFLINE" : "ONLINE";
            s->DiskName = m.remove('!');
            pool->Status.append(s);
        }
        list.append(pool);
    }
    return list;
}

// Enclosures split by " | ", each "uid: devPath=bay ..." ("-" for no bay).
TBList enclosures(const QString& rows)
{
    TBList list;
    for (const QString& row : rows.split(" | ", Qt::SkipEmptyParts)) {
        auto tb = std::make_shared<VRLThunderboltInfo>();
        tb->uid = row.section(':', 0, 0).toLongLong();
        for (const QString& d : row.section(':', 1).split(' ', Qt::SkipEmptyParts)) {
            auto hdd = std::make_shared<VRLHddInfo>();
            hdd->devPath = d.section('=', 0, 0);
            hdd->hddSN = "SN-" + d.section('=', 0, 0);
            if (d.section('=', 1) != "-")
                hdd->slotPath = d.section('=', 1);
            tb->hddArray.append(hdd);
        }
        list.append(tb);
    }
    return list;
}

const char* const kFour = "1: /dev/disk2=Slot-A /dev/disk3=Slot-B /dev/disk4=Slot-C /dev/disk5=Slot-D";
}  // namespace

TEST(BayMapping, EveryMembersBayIsKnownOrUnknown)
{
    const struct {
        const char* name;
        const char* pools;
        const char* enclosures;
        const char* remembered;  // "pool/member=uid:slot ..."
        const char* bays;        // what each member shows, "-" for none
    } cases[] = {
        {"all four bays matched", "tank:disk2,disk3,disk4,disk5", kFour, "", "Slot-A Slot-B Slot-C Slot-D"},
        {"a gone member takes the one empty bay of its enclosure", "tank:disk2,disk3,disk93!,disk5",
         "1: /dev/disk2=Slot-A /dev/disk3=Slot-B /dev/disk5=Slot-D", "", "Slot-A Slot-B Slot-C Slot-D"},
        {"an ejected set's disk fills a bay, so its bay is not guessed", "t1:disk3,disk4,disk5!",
         "1: /dev/disk90=Slot-A /dev/disk3=Slot-B /dev/disk4=Slot-C", "", "Slot-B Slot-C Slot-D"},
        {"two empty bays: unknown", "tank:disk2,disk93!", "1: /dev/disk2=Slot-A /dev/disk4=Slot-C", "",
         "Slot-A unknown"},
        {"no empty bay: unknown", "tank:disk2,disk93!", kFour, "", "Slot-A unknown"},
        {"the remembered bay wins", "tank:disk2,disk93!", "1: /dev/disk2=Slot-A", "tank/disk93=1:Slot-C",
         "Slot-A Slot-C"},
        {"remembered under the name zpool says it was", "tank:disk2,123456!=was_/dev/disk93", "1: /dev/disk2=Slot-A",
         "tank/disk93=1:Slot-D", "Slot-A Slot-D"},
        {"two remembered in one bay: both unknown", "a:disk2,disk7! b:disk3,disk8!",
         "1: /dev/disk2=Slot-A /dev/disk3=Slot-B", "a/disk7=1:Slot-C b/disk8=1:Slot-C", "Slot-A unknown Slot-B unknown"},
        {"another pool's gone member in the same empty bay", "a:disk2,disk7! b:disk3,disk8!",
         "1: /dev/disk2=Slot-A /dev/disk3=Slot-B /dev/disk4=Slot-C", "", "Slot-A unknown Slot-B unknown"},
        {"members spread over enclosures: no guess", "tank:disk2,disk12,999!",
         "1: /dev/disk2=Slot-A | 2: /dev/disk12=Slot-B", "",
         "Slot-A, enclosure 1 Slot-B, enclosure 2 unknown"},
        {"the bay names its enclosure where several are attached", "p1:disk2,disk3,disk4 t2:disk12,disk13,disk94!",
         "1: /dev/disk2=Slot-A /dev/disk3=Slot-B /dev/disk4=Slot-C | 2: /dev/disk12=Slot-A /dev/disk13=Slot-B "
         "/dev/disk15=Slot-D",
         "", "Slot-A, enclosure 1 Slot-B, enclosure 1 Slot-C, enclosure 1 Slot-A, enclosure 2 Slot-B, enclosure 2 "
             "Slot-C, enclosure 2"},
        {"online but on no enclosure disk, and group lines: no bay", "rpool:sda,mirror-0,disk2", "1: /dev/disk2=Slot-A",
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
        for (const auto& pool : list) {
            for (const auto& m : pool->Status)
                bays << (m->slotPath ? BayMapping::bayText(*m) : "-");
        }
        EXPECT_EQ(bays.join(' '), c.bays) << c.name;
    }
}

TEST(BayMapping, RemembersWhereEachMemberWasSeenAcrossRuns)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("config/tarnwell/bays.json");
    {
        BayMemory memory(file);
        BayMapping::getDiskSlot(pools("tank:disk2,disk3,disk4"), enclosures(kFour), &memory);
    }
    // The disk in Slot-B leaves and the enclosure now has two empty bays: only memory knows.
    BayMemory later(file);
    const RaidList list = pools("tank:disk2,disk3!,disk4");
    BayMapping::getDiskSlot(list, enclosures("1: /dev/disk2=Slot-A /dev/disk4=Slot-C"), &later);
    EXPECT_EQ(list[0]->Status[1]->slotPath, "Slot-B");
    EXPECT_EQ(later.recall("tank", "disk3")->serial, "SN-/dev/disk3");

    // A corrupt file is an empty memory: the empty-bay rule still applies.
    QFile(file).remove();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\"members\": [ garbage");
    f.close();
    BayMemory corrupt(file);
    const RaidList again = pools("tank:disk2,disk3!,disk4,disk5");
    BayMapping::getDiskSlot(again, enclosures("1: /dev/disk2=Slot-A /dev/disk4=Slot-C /dev/disk5=Slot-D"), &corrupt);
    EXPECT_EQ(again[0]->Status[1]->slotPath, "Slot-B");
}
