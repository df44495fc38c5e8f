#include "cli/CommandLine.h"
#include "support/QtPrinters.h"
#include "devices/FixtureRegistry.h"
#include "exec/ToolLimits.h"
#include "support/FakeTool.h"
#include "support/StandInElevator.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

// zfs-fuse's texts for one RAID-Z on the enclosure's bays A to C, its member
// in bay B gone, and one ejected pool.
QString data(const char* name) { return QStringLiteral(TARNWELL_TEST_DATA "/mainwin/") + name; }

class ListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // One enclosure of the first layout: disk2 to disk5 in bays A to D.
        registry_ = std::make_unique<FixtureRegistry>(QStringLiteral(TARNWELL_TEST_DATA "/registry/enclosure-782.json"));
        ASSERT_TRUE(registry_->errorString().isEmpty()) << registry_->errorString().toStdString();
        env_.probePaths.sbinZpool = zpool_.path();
        env_.probePaths.localZpool = dir_.filePath("no-local-zpool");
        env_.probePaths.devZfs = dir_.filePath("zfs");
        env_.probePaths.zfsFuseSocket = dir_.filePath("no-socket");
        QFile(env_.probePaths.devZfs).open(QIODevice::WriteOnly);
        env_.dfPath = df_.path();
    }

    int run(bool json)
    {
        out_.clear();
        err_.clear();
        QTextStream out(&out_), err(&err_);
        const int status = CommandLine::list(*registry_, json, out, err, env_);
        out.flush();
        err.flush();
        return status;
    }

    QTemporaryDir dir_;
    FakeTool zpool_{QStringLiteral("zpool")};
    FakeTool df_{QStringLiteral("df")};
    std::unique_ptr<FixtureRegistry> registry_;
    CommandLine::ListEnvironment env_;
    QString out_, err_;
};

TEST_F(ListTest, PrintsPoolsMembersAndBaysAsJson)
{
    zpool_.setOutputFromFile("list", data("list-tank-raidz-degraded.txt"));
    zpool_.setOutputFromFile("status", data("status-tank-raidz-degraded.txt"));
    zpool_.setOutputFromFile("import", data("import-archive.txt"));
    ASSERT_EQ(run(true), 0) << err_.toStdString();
    EXPECT_TRUE(err_.isEmpty());

    const QJsonObject listing = QJsonDocument::fromJson(out_.toUtf8()).object();
    EXPECT_TRUE(listing["ejectedScanned"].toBool() && listing["note"].isNull());
    QStringList seen;
    for (const QJsonValue& v : listing["pools"].toArray()) {
        const QJsonObject p = v.toObject();
        seen << p["name"].toString() + " " + p["mode"].toString() + " " + p["health"].toString();
        for (const QJsonValue& m : p["members"].toArray())
            seen << "  " + m["name"].toString() + " " + m["state"].toString() + " " + m["slot"].toString();
    }
    // Two bays are empty: where the missing member sat cannot be told.
    EXPECT_EQ(seen, (QStringList{"tank RaidZ DEGRADED", "  disk2 ONLINE Slot-A",
                                 "  15716633708778441744 UNAVAIL unknown", "  disk4 ONLINE Slot-C",
                                 "archive  EJECTED"}));

    // The refresh the Update button runs: list, status and the ejected pools, at once.
    QStringList verbs;
    for (const QStringList& c : zpool_.calls())
        verbs << c.join(' ');
    EXPECT_EQ(QSet(verbs.begin(), verbs.end()), (QSet<QString>{"import", "list", "status -L"}));
}

TEST_F(ListTest, NoPoolsIsAnAnswerAMissingToolIsNot)
{
    zpool_.setOutput("list", "no pools available\n");
    zpool_.setOutput("status", "no pools available\n");
    zpool_.setOutput("import", "no pools available to import\n");
    EXPECT_EQ(run(false), 0);
    EXPECT_EQ(out_, "No pools.\n");
    EXPECT_EQ(run(true), 0);
    EXPECT_EQ(out_, "{\"ejectedScanned\": true, \"note\": null, \"pools\": []}\n");

    // A missing tool, service or daemon is an error, not an empty list: zfs-fuse's zpool without its daemon.
    zpool_.setOutput("list", "");
    zpool_.setError("list", "connect: Connection refused\n"
                            "Please make sure that the zfs-fuse daemon is running.\n"
                            "internal error: failed to initialize ZFS library\n");
    zpool_.setScript("list", "exit 1");
    EXPECT_EQ(run(true), 1);
    EXPECT_TRUE(out_.isEmpty() && err_.contains("zfs-fuse daemon is running")) << err_.toStdString();
    env_.probePaths.devZfs = dir_.filePath("no-zfs");
    EXPECT_EQ(run(false), 1);
    EXPECT_TRUE(out_.isEmpty() && err_.contains("ZFS service")) << err_.toStdString();

    env_.probePaths.sbinZpool = dir_.filePath("no-zpool");
    zpool_.clearCalls();
    EXPECT_EQ(run(false), 1);
    EXPECT_TRUE(err_.contains("no zpool")) << err_.toStdString();
    EXPECT_TRUE(zpool_.calls().isEmpty());
}

TEST_F(ListTest, AsAUserItNeverAsksForAPasswordAndSaysWhatItLeftOut)
{
    StandInElevator elevator;  // would count any elevation
    env_.administrator = false;
    zpool_.setOutputFromFile("list", data("list-tank-raidz-degraded.txt"));
    zpool_.setOutputFromFile("status", data("status-tank-raidz-degraded.txt"));
    for (const bool json : {false, true}) {
        ASSERT_EQ(run(json), 0) << err_.toStdString();
        EXPECT_EQ(err_, "tarnwell: " + CommandLine::notScannedNote() + "\n");
    }
    const QJsonObject listing = QJsonDocument::fromJson(out_.toUtf8()).object();
    EXPECT_TRUE(!listing["ejectedScanned"].toBool() && listing["note"] == CommandLine::notScannedNote() &&
                listing["pools"].toArray().size() == 1 && elevator.asked() == 0) << out_.toStdString();
    for (const QStringList& c : zpool_.calls())
        EXPECT_NE(c.value(0), "import");
}

TEST_F(ListTest, AFailedOrHungRunIsStatusTwoWithItsMessage)
{
    ToolLimits::set(ToolLimits::Kind::Change, 500);
    const struct { const char *key, *script, *error, *says; } cases[] = {
        {"status", "exit 2", "invalid option 'L'\n", "zpool status -L exited with status 2:\n\ninvalid option 'L'"},
        {"import", "sleep 5", "", "zpool import timed out after 500 ms and was stopped."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        zpool_.setOutputFromFile("list", data("list-tank-raidz-degraded.txt"));
        zpool_.setError(c.key, c.error);
        zpool_.setScript(c.key, c.script);
        EXPECT_EQ(run(true), 2);
        EXPECT_TRUE(out_.isEmpty());
        EXPECT_EQ(err_, QStringLiteral("tarnwell: ") + c.says + "\n");
        zpool_.setScript(c.key, "");
    }
    ToolLimits::set(ToolLimits::Kind::Change, 0);
}

}  // namespace
