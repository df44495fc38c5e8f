#include "PoolTestText.h"
#include "support/LogCapture.h"
#include "zpool/ZpoolImportScan.h"
#include "zpool/ZpoolList.h"
#include "zpool/ZpoolStatus.h"

#include <gtest/gtest.h>

using namespace PoolTestText;
using Lines = std::vector<std::string>;

namespace {

// "@name" reads tests/data/zpool/name; anything else is the text itself.
QString textOf(const char* s) { return *s == '@' ? dataFile(s + 1) : QString::fromUtf8(s); }

RaidList namedPools(const QStringList& names)
{
    RaidList list;
    for (const QString& n : names)
        list.append(std::make_shared<RaidInfo>(RaidInfo{n, {}, "1G", {}, {}, {}, "ONLINE"}));
    return list;
}

struct ListCase { const char* name; const char* text; Lines pools; };

TEST(ZpoolList, GivesPoolsInOutputOrder)
{
    const ListCase cases[] = {
        {"TenColumns", "@list-openzfs-10col.txt",
                 {"tank|-|3.62T|1.20T|2.42T|33%|ONLINE", "photos|-|1.81T|990G|866G|53%|DEGRADED"}},
        {"ElevenColumnsWithCheckpoint", "@list-openzfs2-11col.txt",
                 {"backup|-|5.45T|2.10T|3.35T|38%|DEGRADED", "media|-|10.9T|812G|10.1T|7%|ONLINE"}},
        {"NamesHoldingCapitalNAME", "@list-openzfs2-capital-names.txt",
                 {"MYNAME|-|1.81T|420G|1.40T|22%|ONLINE", "NAME|-|928G|12.5G|915G|1%|ONLINE"}},
        {"NameWithBlankFoldsSurplusFields",
                 "NAME SIZE ALLOC FREE CKPOINT EXPANDSZ FRAG CAP DEDUP HEALTH ALTROOT\n"
                 "my  big\tpool 1G 2M 1G - - 0% 0% 1.00x ONLINE -\n",
                 {"my big pool|-|1G|2M|1G|0%|ONLINE"}},
        {"NoHeaderCountsFromTheEnd",
                 "tank 3.62T 1.20T 2.42T - 4% 33% 1.00x ONLINE -\n"
                 "my pool 1.81T 990G 866G - 12% 53% 1.00x DEGRADED -\n",
                 {"tank|-|3.62T|1.20T|2.42T|33%|ONLINE",
                  "my pool|-|1.81T|990G|866G|53%|DEGRADED"}},
        {"ShortLineAfterHeaderSkipped",
                 "NAME SIZE ALLOC FREE CAP DEDUP HEALTH ALTROOT\n"
                 "cannot open 'x': no such pool\n"
                 "tank 123M 444K 123M 0% 1.00x ONLINE -\n",
                 {"tank|-|123M|444K|123M|0%|ONLINE"}},
        {"MessageBeforeHeaderIsNoPool",
                 "warning: the pool list may be out of date on this host right now\n"
                 "NAME SIZE ALLOC FREE CAP DEDUP HEALTH ALTROOT\n"
                 "tank 123M 444K 123M 0% 1.00x ONLINE -\n",
                 {"tank|-|123M|444K|123M|0%|ONLINE"}},
        {"NoModule", "Failed to load ZFS module stack.\nLoad the module manually.\n", {}},
        {"MarkerWinsOverPoolLines",
                 "NAME SIZE ALLOC FREE CAP DEDUP HEALTH ALTROOT\n"
                 "tank 123M 444K 123M 0% 1.00x ONLINE -\nno pools available\n",
                 {}},
    };
    for (const ListCase& c : cases) {
        Lines got;
        for (const RaidInfoPtr& r : ZpoolList::ShowRAIDList(textOf(c.text)))
            got.push_back(pool(*r));
        EXPECT_EQ(got, c.pools) << c.name;
    }
}

// The pools `zpool list` gave, and what status makes of them: each pool, then its members.
struct StatusCase { const char* name; QStringList listed; const char* text; Lines result; };

TEST(ZpoolStatus, FillsModesAndMembers)
{
    const std::string raidz = dataFile("status-openzfs-mirror.txt").replace("mirror-0", "raidz1-0").toStdString();
    const StatusCase cases[] = {
        {"RaidzExampleDropsGroupLine", {"tank"}, raidz.c_str(),
         {"tank|RaidZ|1G|-|-|-|ONLINE", "  disk2|ONLINE", "  disk3|ONLINE"}},
        {"TwoPoolsRaidz2ThenStriped", {"archive", "scratch"}, "@status-openzfs-raidz2-and-striped.txt",
         {"archive|RaidZ2|1G|-|-|-|ONLINE", "  disk2|ONLINE", "  disk3|ONLINE", "  disk4|ONLINE", "  disk5|ONLINE",
          "scratch|Striped|1G|-|-|-|ONLINE", "  disk6|ONLINE", "  disk7|ONLINE"}},
        {"ResilverInProgress", {"media"}, "@status-openzfs-resilver.txt",
         {"media|RaidZ|1G|-|-|-|ONLINE", "  disk2|ONLINE", "  replacing-1|DEGRADED",
          "  11685950187498452216|UNAVAIL|0|0|0|[was /dev/disk3s1 ]", "  disk6|ONLINE|0|0|0|[(resilvering) ]",
          "  disk4|ONLINE", "  disk5|ONLINE"}},
        // The pool stays RAID-Z despite its mirrored log; spare lines carry no counters.
        {"LogsCacheAndSpares", {"vault"}, "@status-openzfs-logs-cache-spares.txt",
         {"vault|RaidZ|1G|-|-|-|ONLINE", "  disk2|ONLINE", "  spare-1|ONLINE", "  disk3|ONLINE", "  disk9|ONLINE",
          "  disk4|ONLINE", "  mirror-1|ONLINE|0|0|0|[]|Mirror|vault", "  disk6|ONLINE|0|0|0|[]|Mirror|vault",
          "  disk7|ONLINE|0|0|0|[]|Mirror|vault", "  disk8|ONLINE|0|0|0|[]|Striped|vault"}},
        // Pool "disk" with members disk2 and disk3; a pool called config; a pool MYNAME.
        {"NamesThatOverlapOtherText", {"disk", "MYNAME", "config"}, "@status-openzfs-name-overlaps.txt",
         {"disk|Mirror|1G|-|-|-|ONLINE", "  mirror-0|ONLINE", "  disk2|ONLINE", "  disk3|ONLINE",
          "MYNAME|Striped|1G|-|-|-|ONLINE", "  disk4|ONLINE", "  disk5|ONLINE", "config|Mirror|1G|-|-|-|ONLINE",
          "  mirror-0|ONLINE", "  disk6|ONLINE", "  disk7|ONLINE"}},
        // zpool takes "a: b" and "x state: y" for pool names: labels count only where a line starts.
        {"NamesHoldingLabels", {"ip_a", "ip_a: b", "ip_x state: y"}, "@status-zfsfuse-names-with-colons.txt",
         {"ip_a|Striped|1G|-|-|-|ONLINE", "  disk550|ONLINE", "  disk551|ONLINE", "ip_a: b|Striped|1G|-|-|-|ONLINE",
          "  disk552|ONLINE", "ip_x state: y|Mirror|1G|-|-|-|ONLINE", "  mirror-0|ONLINE", "  disk553|ONLINE",
          "  disk554|ONLINE"}},
        {"ZfsFuseChecksumErrorsRepaired", {"ip_mir"}, "@status-zfsfuse-scrub-repaired.txt",
         {"ip_mir|Mirror|1G|-|-|-|ONLINE", "  mirror-0|ONLINE", "  disk550|ONLINE|0|0|257|[31.5M repaired ]",
          "  disk556|ONLINE"}},
        // Group words inside file paths are neither groups nor a layout; counters in their columns.
        {"GroupWordsInsideDevicePaths", {"scratch"},
                   "  pool: scratch\nconfig:\n\n\tNAME STATE READ WRITE CKSUM\n\tscratch ONLINE 0 0 0\n"
                   "\t  /Volumes/mirror-test/f1 ONLINE 1 2 3\n\t  /tmp/raidz1-files/f2 ONLINE 0 0 0\n"
                   "\nerrors: No known data errors\n",
         {"scratch|Striped|1G|-|-|-|ONLINE", "  /Volumes/mirror-test/f1|ONLINE|1|2|3|[]", "  /tmp/raidz1-files/f2|ONLINE"}},
        // Without its errors line, a block must not read the next pool's messages as members.
        {"BlockWithoutErrorsLine", {"a", "b"},
                   "  pool: a\nconfig:\n\tNAME STATE READ WRITE CKSUM\n\ta ONLINE 0 0 0\n\t  disk2 ONLINE 0 0 0\n"
                   "  pool: b\n state: ONLINE\n\tmore words of some message here\nconfig:\n"
                   "\tb ONLINE 0 0 0\n\t  disk3 ONLINE 0 0 0\nerrors: No known data errors\n",
         {"a|-|1G|-|-|-|ONLINE", "  disk2|ONLINE|0|0|0|[]|Striped|a", "b|Striped|1G|-|-|-|ONLINE",
          "  disk3|ONLINE"}},
        // A failure marker anywhere reads nothing at all.
        {"NoPools", {"tank"}, "no pools available\n", {"tank|-|1G|-|-|-|ONLINE"}},
        {"NoModule", {"tank"}, "Failed to load ZFS module stack.\n", {"tank|-|1G|-|-|-|ONLINE"}},
        {"MarkerAfterABlock", {"tank"},
         "  pool: tank\nconfig:\n\ttank ONLINE 0 0 0\n\t  disk2 ONLINE 0 0 0\nno pools available\n",
         {"tank|-|1G|-|-|-|ONLINE"}},
    };
    for (const StatusCase& c : cases) {
        const RaidList list = namedPools(c.listed);
        // It succeeds exactly when it read members.
        EXPECT_EQ(ZpoolStatus::ShowRAIDStatus(textOf(c.text), list), c.result.size() > size_t(c.listed.size())) << c.name;
        EXPECT_EQ(poolsWithMembers(list), c.result) << c.name;
    }
}

// "pool: scan (members)" for each pool named.
struct ScanCase { const char* name; const char* text; Lines scans; };

TEST(ZpoolStatus, GivesEachPoolItsScan)
{
    const ScanCase cases[] = {
        // zfs-fuse's running scan line has no error count; the errors line has.
        {"ZfsFuseScrubRunning", "@status-zfsfuse-scrub-in-progress-errors.txt",
                 {"ip_one: Scrub|Running|72.96|0|-|-|252|- (1)"}},
        {"ZfsFuseScrubRepaired", "@status-zfsfuse-scrub-repaired.txt",
                 {"ip_mir: Scrub|Finished|-|-|0|-|0|2026-12-06T14:49:01 (3)"}},
        {"ZfsFuseResilverRunning", "@status-zfsfuse-resilver-in-progress.txt",
                 {"ip_mir: Resilver|Running|55.31|0|-|-|0|- (5)"}},
        {"OpenZfs2", "@status-openzfs-scans.txt",
                 {"tank: Scrub|Running|10.49|13212|-|0B|0|- (3)", "photos: Scrub|Paused|34.53|-|-|0B|0|- (1)",
                  "backup: Scrub|Canceled|-|-|-|-|-|2021-07-27T08:15:31 (1)",
                  "media: Scrub|Finished|-|-|94389|1.50M|3|2021-07-28T02:13:10 (3)",
                  "scratch: Resilver|Running|0.65|-|-|11.9G|0|- (5)"}},
        {"OpenZfs08ResilverRunning", "@status-openzfs-resilver.txt",
                 {"media: Resilver|Running|19.14|3622|-|103G|0|- (6)"}},
        {"OpenZfs07", "@status-openzfs07-scans.txt",
                 {"tank: Scrub|Running|88.59|51900|-|0|0|- (4)",
                  "backup: Resilver|Finished|-|-|152520|324G|0|2012-06-15T20:11:17 (3)"}},
        // A layout we do not know is progress unknown, and the pool is read as ever.
        {"UnknownLayout",
                 "  pool: tank\n  scan: scrub verifying since Sun Jul 25 16:07:49 2021\n\tsomething new\nconfig:\n"
                 "\ttank ONLINE 0 0 0\n\t  disk2 ONLINE 0 0 0\nerrors: No known data errors\n",
                 {"tank: Unknown: scrub verifying since Sun Jul 25 16:07:49 2021 something new (1)"}},
    };
    for (const ScanCase& c : cases) {
        QStringList names;
        for (const std::string& s : c.scans)
            names << QString::fromStdString(s.substr(0, s.find(": ")));
        const RaidList list = namedPools(names);
        EXPECT_TRUE(ZpoolStatus::ShowRAIDStatus(textOf(c.text), list)) << c.name;
        Lines got;
        for (const RaidInfoPtr& r : list)
            got.push_back(QStringLiteral("%1: %2 (%3)")
                              .arg(*r->Name, r->scan ? QString::fromStdString(scan(*r->scan)) : "-")
                              .arg(r->Status.size())
                              .toStdString());
        EXPECT_EQ(got, c.scans) << c.name;
    }
}

// `logged`: times "no pools available to import" is logged.
struct ImportCase { const char* name; const char* text; Lines appended; int logged; };

TEST(ZpoolImportScan, AppendsEjectedPoolsAfterImportedOnes)
{
    const ImportCase cases[] = {
        {"OnlineAndDegraded", "@import-openzfs-online-degraded.txt",
                   {"media|-|-|-|-|-|DEGRADED EJECTED disk2,11685950187498452216,disk4",
                    "backup|-|-|-|-|-|EJECTED disk6,disk7"},
                   0},
        {"UnavailKeepsItsState", "@import-openzfs-unavail.txt",
                   {"scratch|-|-|-|-|-|UNAVAIL disk8"}, 0},
        {"NothingToImport", "@import-zfsfuse-none.txt", {}, 1},
        {"AuthorizationCanceled", "Canceled", {}, 0},
        // Pool a's block never shows a line of its own; pool b's "pool: " line
        // changes the name being waited for.
        {"OwnLineMissing",
                   "   pool: a\n config:\n\n\tdisk2 ONLINE\n\n"
                   "   pool: b\n     id: 42\n  state: ONLINE\n config:\n\n\tb ONLINE\n\t  disk3 ONLINE\n",
                   {"b|-|-|-|-|-|EJECTED disk3"}, 0},
        // A member whose name holds the pool's name is not the pool's own line.
        {"MemberNameHoldsPoolName",
                   "   pool: disk\n  state: FAULTED\n config:\n\n\t  disk2 FAULTED corrupted data\n",
                   {}, 0},
        {"NameWithBlank",
                   "   pool: my pool\n  state: ONLINE\n config:\n\n\tmy pool  ONLINE\n\t  disk2  ONLINE\n",
                   {"my pool|-|-|-|-|-|EJECTED disk2"}, 0},
        {"NamesHoldingLabels", "@import-zfsfuse-names-with-colons.txt",
                   {"ip_a|-|-|-|-|-|EJECTED disk550,disk551", "ip_a: b|-|-|-|-|-|EJECTED disk552",
                    "ip_x state: y|-|-|-|-|-|EJECTED disk553,disk554"},
                   0},
    };
    for (const ImportCase& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        RaidList list = namedPools({"tank"});
        list.first()->Status.append(std::make_shared<RaidStatus>());
        ZpoolImportScan::ShowUnimportRAID(textOf(c.text), list);
        Lines got, expected{"tank|-|1G|-|-|-|ONLINE"};
        expected.insert(expected.end(), c.appended.begin(), c.appended.end());
        for (const RaidInfoPtr& r : list)
            got.push_back(pool(*r) + (r->ejectedDisks.isEmpty() ? "" : " " + r->ejectedDisks.join(u',').toStdString()));
        EXPECT_EQ(got, expected);
        EXPECT_EQ(list.first()->Status.size(), 1);
        EXPECT_EQ(log.count(QStringLiteral("no pools available to import")), c.logged);
    }
}

}  // namespace
