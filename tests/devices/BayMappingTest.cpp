#include "pools/BayMapping.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {
// Pools as "name:member,member,... name:...", members named as zpool prints
// them ("~" for an empty name).
RaidList pools(const QString& rows)
{
    RaidList list;
    for (const QString& row : rows.split(' ')) {
        auto pool = std::make_shared<RaidInfo>();
        pool->Name = row.section(':', 0, 0);
        for (const QString& m : row.section(':', 1).split(',', Qt::SkipEmptyParts))
            pool->Status.append(std::make_shared<RaidStatus>(
                RaidStatus{m == "~" ? QString() : m, "ONLINE", "0", "0", "0", {}, {}, {}, {}}));
        list.append(pool);
    }
    return list;
}

// Enclosures split by " | ", each a list of "devPath=bay" ("-" for absent,
// "~" for an empty device path).
TBList enclosures(const QString& rows)
{
    TBList list;
    for (const QString& row : rows.split(" | ", Qt::SkipEmptyParts)) {
        auto tb = std::make_shared<VRLThunderboltInfo>();
        for (const QString& d : row.split(' ')) {
            auto hdd = std::make_shared<VRLHddInfo>();
            const QString path = d.section('=', 0, 0), bay = d.section('=', 1);
            if (path != "-")
                hdd->devPath = path == "~" ? QString() : path;
            if (bay != "-")
                hdd->slotPath = bay;
            tb->hddArray.append(hdd);
        }
        list.append(tb);
    }
    return list;
}
}  // namespace

TEST(BayMapping, GetDiskSlot)
{
    const struct {
        const char* name;
        const char* pools;
        const char* enclosures;
        const char* labels;  // of every member in order, "-" for none
    } cases[] = {
        {"all four bays matched", "tank:disk2,disk3,disk4,disk5",
         "/dev/disk5=Slot-D /dev/disk3=Slot-B /dev/disk2=Slot-A /dev/disk4=Slot-C", "Slot-A Slot-B Slot-C Slot-D"},
        {"a pulled disk gets the free bay", "tank:disk2,disk3,1234567890123456789,disk5",
         "/dev/disk2=Slot-A /dev/disk3=Slot-B /dev/disk5=Slot-D", "Slot-A Slot-B Slot-C Slot-D"},
        {"two unmatched members share the first free bay", "tank:disk2,111,disk4,222",
         "/dev/disk2=Slot-A /dev/disk4=Slot-C", "Slot-A Slot-B Slot-C Slot-B"},
        {"a partition name does not match the whole disk", "tank:disk3s2", "/dev/disk3=Slot-A", "Slot-A"},
        {"a partition name with every bay taken gets no label", "tank:disk2,disk3,disk4,disk5 other:disk3s2",
         "/dev/disk2=Slot-A /dev/disk3=Slot-B /dev/disk4=Slot-C /dev/disk5=Slot-D", "Slot-A Slot-B Slot-C Slot-D -"},
        {"no enclosure: every member gets Slot-A", "tank:disk2,disk3 other:disk4", "", "Slot-A Slot-A Slot-A"},
        {"only ejected pools: nothing written", "gone: also:", "/dev/disk2=Slot-A", ""},
        {"a matched disk without bay is treated as unmatched", "tank:disk2,disk3", "/dev/disk2=- /dev/disk3=Slot-A",
         "Slot-B Slot-A"},
        {"bays of all enclosures form one set", "tank:disk2,disk12,999", "/dev/disk2=Slot-A | /dev/disk12=Slot-B",
         "Slot-A Slot-B Slot-C"},
        {"first member per pool only; other pools too", "a:disk2,disk2 b:disk2", "/dev/disk2=Slot-D",
         "Slot-D Slot-A Slot-D"},
        {"disks without or with an empty device path match nothing", "tank:~,dev", "-=Slot-A ~=Slot-B /dev/=Slot-C",
         "Slot-A Slot-A"},
        {"case-sensitive whole names", "tank:Disk2,disk2x", "/dev/disk2=Slot-C", "Slot-A Slot-A"},
    };
    for (const auto& c : cases) {
        const RaidList list = pools(c.pools);
        BayMapping::getDiskSlot(list, enclosures(c.enclosures));
        QStringList labels;
        for (const auto& pool : list) {
            for (const auto& m : pool->Status)
                labels << m->slotPath.value_or("-");
        }
        EXPECT_EQ(labels.join(' '), c.labels) << c.name;
    }
}
