#include "cli/PoolListing.h"
#include "support/QtPrinters.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

// A degraded RAID-Z with a missing member, and an ejected pool with nothing but a name and health.
RaidList samplePools()
{
    const auto member = [](const char* name, const char* state, std::optional<QString> slot) {
        return RaidStatus{.DiskName = name, .State = state, .Read = "0", .Write = "0", .CKSum = "0", .slotPath = slot,
                          .Others = ""};
    };
    RaidStatus missing = member("15716633708778441744", "UNAVAIL", "Slot-B");
    missing.Others = "was /dev/disk91 ";
    missing.enclosure = "uid 7";
    missing.enclosureNumber = 2;
    missing.enclosureName = "Varnelo Quad TB2";
    auto tank = std::make_shared<RaidInfo>(RaidInfo{"tank", "RaidZ", "2.75G", "1.13M", "2.75G", "0%", "DEGRADED"});
    tank->Status = {std::make_shared<RaidStatus>(member("disk90", "ONLINE", "Slot-A")), std::make_shared<RaidStatus>(missing),
                    std::make_shared<RaidStatus>(member("disk92", "ONLINE", std::nullopt))};
    return {tank, std::make_shared<RaidInfo>(RaidInfo{.Name = "a very long pool name", .Health = "EJECTED"})};
}

// What the listing through zpool's own texts leaves out: the fields that are
// ours, absent ones as null, and names that need escaping.
TEST(PoolListing, JsonCarriesEveryFieldAndTheTableAlignsThem)
{
    RaidList sample = samplePools();
    const QString odd = QStringLiteral("q\"b\\s\tn\x01 \u00e9\u6c60");
    *sample[1]->Name = odd;
    const QByteArray text = PoolListing::json(sample);
    QJsonParseError err;
    const QJsonArray pools = QJsonDocument::fromJson(text, &err).array();
    ASSERT_EQ(err.error, QJsonParseError::NoError) << text.constData();
    ASSERT_EQ(pools.size(), 2);
    EXPECT_EQ(pools[0]["capacity"].toString(), "0%");
    const QJsonArray members = pools[0]["members"].toArray();
    ASSERT_EQ(members.size(), 3);
    EXPECT_EQ(members[1]["others"].toString(), "was /dev/disk91");
    EXPECT_EQ(members[0]["others"].toString(), "");
    EXPECT_TRUE(members[2]["slot"].isNull());
    EXPECT_EQ(members[1]["enclosure"].toString(), "Varnelo Quad TB2 enclosure 2");
    EXPECT_TRUE(members[0]["enclosure"].isNull());
    EXPECT_EQ(members[2].toObject().keys().size(), 8);
    EXPECT_EQ(pools[1]["name"].toString(), odd);
    for (const char* key : {"mode", "size", "alloc", "free", "capacity"})
        EXPECT_TRUE(pools[1][key].isNull()) << key;
    EXPECT_EQ(PoolListing::json({}), "[]\n");

    // The table aligns pools and lists members under their pool.
    const QStringList lines = PoolListing::table(samplePools()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7) << PoolListing::table(samplePools()).toStdString();
    EXPECT_TRUE(lines[0].startsWith("NAME") && lines[1].startsWith("tank ") && lines[2].trimmed().startsWith("MEMBER") &&
                lines[3].trimmed().startsWith("disk90") && lines[6].startsWith("a very long pool name"));
    EXPECT_TRUE(lines[4].contains("UNAVAIL") && lines[4].endsWith("Slot-B  Varnelo Quad TB2 enclosure 2  was /dev/disk91"));

    // Columns line up whatever the widths: HEALTH is where each pool's health starts.
    const qsizetype health = lines[0].indexOf("HEALTH");
    EXPECT_EQ(lines[1].indexOf("DEGRADED"), health);
    EXPECT_EQ(lines[6].indexOf("EJECTED"), health);
    const qsizetype bay = lines[2].indexOf("BAY");
    EXPECT_EQ(lines[3].indexOf("Slot-A"), bay);
    EXPECT_EQ(lines[4].indexOf("Slot-B"), bay);
    // Absent fields are shown as "-", so every row has all its columns.
    EXPECT_EQ(lines[5].mid(bay, 1), "-");
    EXPECT_EQ(lines[6].split(QLatin1Char(' '), Qt::SkipEmptyParts).size(), 5 + 6);  // five words of name, six "-" or health
    for (const QString& l : lines)
        EXPECT_FALSE(l.endsWith(' '));
}

}  // namespace
