// The sandbox itself against the real zfs-fuse, judged by Tarnwell's own
// scanner and hot-plug monitor: what it makes, what a pulled or inserted disk
// and an unplugged cable look like, and that down leaves nothing behind.
#include "base/NotificationCenter.h"
#include "devices/FixtureRegistry.h"
#include "devices/ThunderBoltMonitor.h"
#include "devices/VRLScanDevice.h"
#include "support/Sandbox.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
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

bool waitFor(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QTest::qWait(20);
    return done();
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
    EXPECT_TRUE(waitFor([&] { return !scan(registry).join(',').contains(b); }));
    EXPECT_FALSE(sandbox_.pull("B").ok()) << "an empty bay cannot be pulled";

    const auto ins = sandbox_.insert("Slot-B");
    ASSERT_TRUE(ins.ok()) << ins.err.toStdString();
    const QString fresh = ins.out.trimmed();
    EXPECT_NE(fresh, b) << "a new disk gets a new name";
    EXPECT_EQ(sandbox_.diskIn("Slot-B"), fresh);
    EXPECT_TRUE(linkExists(fresh));
    EXPECT_TRUE(waitFor([&] { return scan(registry).contains("Slot-B /dev/" + fresh + " blank"); }))
        << scan(registry).join(", ").toStdString();
    EXPECT_FALSE(sandbox_.insert("B").ok()) << "an occupied bay takes no second disk";

    ASSERT_TRUE(sandbox_.run({"unplug"}).ok());
    EXPECT_FALSE(QFileInfo::exists("/dev/" + fresh));
    EXPECT_EQ(loopsOn(sandbox_.stateDir()), 0);
    EXPECT_TRUE(waitFor([&] { return scan(registry).isEmpty(); }));
    ASSERT_TRUE(sandbox_.run({"plug"}).ok());
    EXPECT_TRUE(linkExists(fresh));
    EXPECT_EQ(loopsOn(sandbox_.stateDir()), 4);
    EXPECT_TRUE(waitFor([&] { return scan(registry).size() == 5; })) << scan(registry).join(", ").toStdString();
}

TEST_F(SandboxTest, TarnwellsScannerAndHotPlugMonitorFollowTheSandbox)
{
    ASSERT_TRUE(sandbox_.up(2).ok());
    FixtureRegistry registry(sandbox_.fixture());
    auto bays = [&](int enc) {
        QStringList l;
        for (const char* b : {"Slot-A", "Slot-B", "Slot-C", "Slot-D"})
            l << QString::fromLatin1(b) + " /dev/" + sandbox_.diskIn(b, enc) + " blank";
        return l;
    };
    QStringList expected = QStringList{"Varnelo Quad TB2"} + bays(1) + QStringList{"Varnelo Quad TB3"} + bays(2);
    EXPECT_EQ(scan(registry), expected);

    NotificationCenter center;
    int attached = 0, detached = 0;
    center.addObserver("TBDeviceAttached", nullptr, [&](const Notification&) { ++attached; });
    center.addObserver("TBDeviceDeattached", nullptr, [&](const Notification&) { ++detached; });
    ThunderBoltMonitor monitor(registry, center);
    monitor.MonitorInit();

    // A pulled disk leaves its bay without a hot-plug event, as in the enclosure.
    ASSERT_TRUE(sandbox_.run({"pull", "C", "--enclosure", "2"}).ok());
    expected.removeAt(8);
    EXPECT_TRUE(waitFor([&] { return scan(registry) == expected; })) << scan(registry).join(", ").toStdString();
    EXPECT_EQ(attached + detached, 0);

    // The cable: one event per SATA controller (two in the second layout), and
    // none for the other enclosure, whose entries keep their places.
    ASSERT_TRUE(sandbox_.run({"unplug", "--enclosure", "2"}).ok());
    EXPECT_TRUE(waitFor([&] { return detached == 2; })) << detached;
    EXPECT_EQ(scan(registry), expected.mid(0, 5));
    ASSERT_TRUE(sandbox_.run({"plug", "--enclosure", "2"}).ok());
    EXPECT_TRUE(waitFor([&] { return attached == 2; })) << attached;
    EXPECT_EQ(scan(registry), expected);
    EXPECT_EQ(detached, 2);
}

TEST_F(SandboxTest, PoolsOnItsDisksAreExportedByDownAndThePulledMemberGoesOffline)
{
    ASSERT_TRUE(sandbox_.up().ok());
    const QString pool = QStringLiteral("sbx_lifecycle_%1").arg(getpid());
    const QStringList members = {sandbox_.diskIn("Slot-A"), sandbox_.diskIn("Slot-B"),
                                 sandbox_.diskIn("Slot-C")};
    int rc = -1;
    const QString made = runTool(realZpoolPath(), QStringList{"create", "-f", pool, "raidz"} +
                                                      QStringList{"/dev/" + members[0], "/dev/" + members[1],
                                                                  "/dev/" + members[2]},
                                 &rc);
    ASSERT_EQ(rc, 0) << made.toStdString();

    // The wrapper makes zfs-fuse answer the OpenZFS form.
    const QString st = runTool(realZpoolPath(), {"status", "-L", pool}, &rc);
    EXPECT_EQ(rc, 0) << st.toStdString();

    ASSERT_TRUE(sandbox_.pull("B").ok());
    const QString after = runTool(realZpoolPath(), {"status", "-L", pool});
    EXPECT_TRUE(after.contains(QRegularExpression(members[1] + "\\s+OFFLINE"))) << after.toStdString();
    EXPECT_TRUE(sandbox_.status().value("enclosures").toArray()[0].toObject().value("pulled").toArray()[0]
                    .toObject().value("pool").toString() == pool);

    ASSERT_TRUE(sandbox_.down().ok());
    EXPECT_FALSE(runTool(realZpoolPath(), {"list"}).contains(pool));
    for (const QString& d : members)
        EXPECT_FALSE(QFileInfo::exists("/dev/" + d));
}

}  // namespace
