// The three parsers against the real zpool (zfs-fuse here): a RAID-Z pool with
// one disk offline and a mirror, then ejected one after the other.
#include "PoolTestText.h"
#include "support/RealZpool.h"
#include "zpool/ZpoolImportScan.h"
#include "zpool/ZpoolList.h"
#include "zpool/ZpoolStatus.h"

#include <gmock/gmock.h>

namespace {
using RealZpool::run;

class ParsersOnRealZpool : public RealZpool::Test {
protected:
    ParsersOnRealZpool() : RealZpool::Test(5) {}
    void SetUp() override
    {
        RealZpool::Test::SetUp();
        if (!scratch)
            return;
        rz = scratch->createPool(QStringList{"raidz"} + scratch->devs(0, 3));
        mir = scratch->createPool(QStringList{"mirror"} + scratch->devs(3, 2));
        // zfs-fuse finds a member for offline only by its full path.
        run({"offline", rz, scratch->dev(2)});
    }

    // The tool's own figures, read around the parsed run so that a background
    // sync between them cannot make the comparison flaky.
    RaidList listStable(QMap<QString, std::string>* figures) const
    {
        auto scripted = [] {
            QMap<QString, std::string> byName;
            for (const QString& line : run({"list", "-H", "-o", "name,size,allocated,free,capacity,health"})
                                           .split(u'\n', Qt::SkipEmptyParts)) {
                const QStringList f = line.split(u'\t');
                byName[f[0]] = (f[0] + "|-|" + f.mid(1).join(u'|')).toStdString();
            }
            return byName;
        };
        RaidList list;
        for (int attempt = 0; attempt < 5; ++attempt) {
            const auto before = scripted();
            list = ZpoolList::ShowRAIDList(run({"list"}));
            *figures = scripted();
            if (before == *figures)
                break;
            QThread::msleep(500);
        }
        return list;
    }

    static RaidInfoPtr find(const RaidList& list, const QString& name)
    {
        const auto it = std::find_if(list.begin(), list.end(), [&](const RaidInfoPtr& r) { return r->Name == name; });
        return it == list.end() ? nullptr : *it;
    }
    static std::string picture(const RaidList& list, const QString& name)
    {
        const RaidInfoPtr r = find(list, name);
        return r ? PoolTestText::pool(*r) : "<absent>";
    }
    // "  disk|STATE" for a member with no errors in its pool's mode.
    static std::vector<std::string> members(const RaidList& list, const QString& pool)
    {
        const auto all = PoolTestText::poolsWithMembers({find(list, pool)});
        return {all.begin() + 1, all.end()};
    }

    QString rz, mir;
};
}  // namespace

TEST_F(ParsersOnRealZpool, ReadWhatTheToolReports)
{
    // Both pools imported; the RAID-Z pool is degraded.
    QMap<QString, std::string> figures;
    RaidList list = listStable(&figures);
    EXPECT_EQ(picture(list, rz), figures[rz]);
    EXPECT_EQ(picture(list, mir), figures[mir]);
    EXPECT_TRUE(figures[rz].ends_with("DEGRADED") && figures[mir].ends_with("ONLINE"));

    // zfs-fuse has no "status -L"; the product asks for it, the text is the same.
    ASSERT_TRUE(ZpoolStatus::ShowRAIDStatus(run({"status"}), list));
    EXPECT_EQ(find(list, rz)->RaidMode, "RaidZ");
    EXPECT_EQ(find(list, mir)->RaidMode, "Mirror");
    const auto d = [&](int i) { return "  " + scratch->disk(i).toStdString(); };
    EXPECT_EQ(members(list, rz), (std::vector<std::string>{d(0) + "|ONLINE", d(1) + "|ONLINE", d(2) + "|OFFLINE"}));
    EXPECT_EQ(members(list, mir), (std::vector<std::string>{"  mirror-0|ONLINE", d(3) + "|ONLINE", d(4) + "|ONLINE"}));
    EXPECT_EQ(PoolTestText::scan(*find(list, mir)->scan), "None");

    // A scrub reads as running or, on pools this small, already finished.
    run({"scrub", mir});
    const RaidList scrubbed = ZpoolList::ShowRAIDList(run({"list"}));
    ASSERT_TRUE(ZpoolStatus::ShowRAIDStatus(run({"status"}), scrubbed));
    EXPECT_THAT(PoolTestText::scan(*find(scrubbed, mir)->scan), testing::StartsWith("Scrub|"));

    // Eject the mirror: it leaves the list and comes back from `zpool import`.
    run({"export", mir});
    list = listStable(&figures);
    EXPECT_FALSE(find(list, mir));
    EXPECT_EQ(picture(list, rz), figures[rz]);
    ASSERT_TRUE(ZpoolStatus::ShowRAIDStatus(run({"status"}), list));
    EXPECT_EQ(find(list, rz)->Status.size(), 3);
    const qsizetype imported = list.size();
    ZpoolImportScan::ShowUnimportRAID(run({"import"}), list);
    const RaidInfoPtr ejected = find(list, mir);
    ASSERT_TRUE(ejected);
    EXPECT_GE(list.indexOf(ejected), imported);
    EXPECT_EQ(PoolTestText::pool(*ejected), (mir + "|-|-|-|-|-|EJECTED").toStdString());
    EXPECT_TRUE(ejected->Status.isEmpty());

    // Eject the degraded pool too.
    run({"export", rz});
    list = ZpoolList::ShowRAIDList(run({"list"}));
    EXPECT_FALSE(find(list, rz));
    ZpoolImportScan::ShowUnimportRAID(run({"import"}), list);
    EXPECT_EQ(picture(list, rz), (rz + "|-|-|-|-|-|DEGRADED EJECTED").toStdString());
    EXPECT_EQ(picture(list, mir), (mir + "|-|-|-|-|-|EJECTED").toStdString());
}
