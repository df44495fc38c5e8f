// The sandbox itself against the real zfs-fuse, judged by Tarnwell's own
// scanner and hot-plug monitor: what it makes, what a pulled or inserted disk
// and an unplugged cable look like, and that down leaves nothing behind.
#include "devices/FixtureRegistry.h"
#include "devices/VRLScanDevice.h"
#include "support/Sandbox.h"

#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// What the product's scanner finds: each enclosure's name, then "Slot-A /dev/disk300 blank"
// per disk, enclosures in order.
QStringList scan(Registry& registry)
{
    VRLScanDevice scanner(registry);
    scanner.setDfRunner([] { return QString(); });
    scanner.resetArray(QStringLiteral("RADade"));
    scanner.scanTBDevice();
    QStringList out;
    for (const auto& tb : scanner.tbArray()) {
        out << tb->moduleName.value_or(QStringLiteral("?"));
        for (const auto& h : tb->hddArray)
            out << h->slotPath.value_or(QStringLiteral("-")) + QLatin1Char(' ') + h->devPath.value_or(QString()) +
                       (h->isUnFormated ? QStringLiteral(" blank") : QString());
    }
    return out;
}


bool linkExists(const QString& disk) { return QFileInfo("/dev/" + disk).symLinkTarget().startsWith("/dev/loop"); }
int loopsOn(const QString& dir) { return runTool("/usr/sbin/losetup", {"--list"}).count(" " + dir + "/"); }

class SandboxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Sandbox::canRun())
            GTEST_SKIP() << "needs root, /dev/fuse and loop devices";
        sandbox_.down();  // whatever an interrupted run left
        wrapperBefore_ = runTool(QStringLiteral("/usr/bin/dpkg-divert"), {QStringLiteral("--list"), QStringLiteral("*zpool")});
    }
    void TearDown() override
    {
        if (!Sandbox::canRun())
            return;
        const auto r = sandbox_.down();
        EXPECT_TRUE(r.ok()) << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(sandbox_.stateDir()));
        EXPECT_EQ(loopsOn(sandbox_.stateDir()), 0);
        EXPECT_EQ(runTool(QStringLiteral("/usr/bin/dpkg-divert"), {QStringLiteral("--list"), QStringLiteral("*zpool")}),
                  wrapperBefore_);
    }

    Sandbox sandbox_{QStringLiteral("sandboxtest")};
    QString wrapperBefore_;
};

TEST_F(SandboxTest, PullInsertUnplugAndPlugChangeDisksAndRegistry)
{
    ASSERT_TRUE(sandbox_.up().ok());
    FixtureRegistry registry(sandbox_.fixture());
    const QString b = sandbox_.diskIn("Slot-B");
    ASSERT_TRUE(linkExists(b));
    EXPECT_EQ(loopsOn(sandbox_.stateDir()), 4);

    ASSERT_TRUE(sandbox_.pull("B").ok());
    EXPECT_FALSE(QFileInfo::exists("/dev/" + b));
    EXPECT_EQ(loopsOn(sandbox_.stateDir()), 3);
    EXPECT_EQ(sandbox_.diskIn("Slot-B"), "");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !scan(registry).join(',').contains(b); }));
    EXPECT_FALSE(sandbox_.pull("B").ok()) << "an empty bay cannot be pulled";

    const auto ins = sandbox_.insert("Slot-B");
    ASSERT_TRUE(ins.ok()) << ins.err.toStdString();
    const QString fresh = ins.out.trimmed();
    EXPECT_NE(fresh, b) << "a new disk gets a new name";
    EXPECT_EQ(sandbox_.diskIn("Slot-B"), fresh);
    EXPECT_TRUE(linkExists(fresh));
    EXPECT_TRUE(QTest::qWaitFor([&] { return scan(registry).contains("Slot-B /dev/" + fresh + " blank"); }))
        << scan(registry).join(", ").toStdString();
    EXPECT_FALSE(sandbox_.insert("B").ok()) << "an occupied bay takes no second disk";

    ASSERT_TRUE(sandbox_.run({"unplug"}).ok());
    EXPECT_FALSE(QFileInfo::exists("/dev/" + fresh));
    EXPECT_EQ(loopsOn(sandbox_.stateDir()), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return scan(registry).isEmpty(); }));
    ASSERT_TRUE(sandbox_.run({"plug"}).ok());
    EXPECT_TRUE(linkExists(fresh));
    EXPECT_EQ(loopsOn(sandbox_.stateDir()), 4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return scan(registry).size() == 5; })) << scan(registry).join(", ").toStdString();
}

}  // namespace
