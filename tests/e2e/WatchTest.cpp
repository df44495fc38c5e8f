// The health watch and Verify on the sandbox and the real zpool. Tarnwell runs
// as a program on a private session bus whose notification service is a
// stand-in that records what it is sent.
#include "create/PoolMountPoint.h"
#include "pools/PoolRefresh.h"
#include "support/Sandbox.h"
#include "zpool/ZpoolCMD.h"

#include <QTest>

namespace {

class Watch : public OnSandbox {
protected:
    Watch() : OnSandbox("watch", 1, 740, "4G") {}
    void TearDown() override
    {
        for (QProcess* p : {&tarnwell_, &standIn_, &bus_}) {
            p->kill();
            p->waitForFinished(5000);
        }
        OnSandbox::TearDown();
    }
    // A session bus of our own with the stand-in on it, then Tarnwell on the
    // sandbox's enclosure.
    void startTarnwell(int interval)
    {
        ASSERT_TRUE(writeFile(home_.filePath("Tarnwell/Tarnwell.conf"),
                              QStringLiteral("[watch]\nintervalSeconds=%1\n").arg(interval).toUtf8()));
        bus_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(bus_.waitForReadyRead(10000)) << "dbus-daemon did not start";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(bus_.readLine()).trimmed());
        env.insert("XDG_CONFIG_HOME", home_.path());
        env.insert("HOME", home_.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_LOGGING_RULES", "tarnwell.info=true");
        standIn_.setProcessEnvironment(env);
        standIn_.start(TARNWELL_BINARY_DIR "/tests/e2e/notification-stand-in", {records()});
        ASSERT_TRUE(standIn_.waitForReadyRead(10000) && standIn_.readAll().startsWith("ready"));
        tarnwell_.setProcessEnvironment(env);
        tarnwell_.setProcessChannelMode(QProcess::MergedChannels);
        tarnwell_.start(TARNWELL_BINARY_DIR "/src/tarnwell", {"--registry", fixture()});
        ASSERT_TRUE(tarnwell_.waitForStarted(10000));
    }
    QString records() const { return home_.filePath("notifications"); }
    // "summary|body|actions" a notification.
    QStringList notifications() const
    {
        QFile f(records());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)
                                           : QStringList();
    }
    std::string output() { return seen_ += tarnwell_.readAll().toStdString(); }

    QTemporaryDir home_;
    QProcess bus_, standIn_, tarnwell_;
    std::string seen_;  // what Tarnwell printed so far
};

TEST_F(Watch, VerifyStartsAndStopsAndAPulledDiskIsToldOnceWithItsBayAndEnclosure)
{
    const QString pool = QStringLiteral("w15_watch%1").arg(getpid());
    ASSERT_NO_FATAL_FAILURE(createPool(pool + "v", {disk("Slot-D")}));
    ZpoolCMD cmd;
    cmd.setZpoolPath(RealZpool::path);
    auto scan = [&]() -> std::optional<RaidScan> {
        for (const RaidInfoPtr& p : PoolRefresh::readPools(cmd, false).pools) {
            if (p->Name == pool + "v")
                return p->scan;
        }
        return std::nullopt;
    };
    // zfs-fuse scrubs a sandbox pool within a second; many small blocks give
    // it seconds of work, so there is progress to see and a scrub to stop.
    runTool("/usr/sbin/zfs", {"set", "recordsize=1K", pool + "v"});
    const std::optional<QString> mount = PoolMountPoint::find(pool + "v");
    ASSERT_TRUE(mount);
    int status = -1;
    const QString dd = runTool("/bin/dd", {"if=/dev/urandom", "of=" + *mount + "/photos.bin", "bs=1M", "count=600"}, &status);
    ASSERT_EQ(status, 0) << dd.toStdString();
    ASSERT_TRUE(cmd.run("VERIFY", pool + "v").ok());
    std::optional<RaidScan> s = scan();
    ASSERT_TRUE(s);
    ASSERT_EQ(s->state, RaidScan::State::InProgress) << s->text.toStdString();
    EXPECT_EQ(s->kind, RaidScan::Kind::Scrub);
    ASSERT_TRUE(s->percentDone);
    EXPECT_LT(*s->percentDone, 100.0);
    const ToolResult stop = cmd.run("STOP VERIFY", pool + "v");
    ASSERT_TRUE(stop.ok()) << stop.report().toStdString();
    s = scan();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->state, RaidScan::State::Canceled) << s->text.toStdString();

    ASSERT_NO_FATAL_FAILURE(createPool(pool, {"raidz", disk("Slot-A"), disk("Slot-B"), disk("Slot-C")}));
    const QString pulled = diskIn("Slot-B");
    constexpr int interval = 3;
    startTarnwell(interval);
    // Its first read, then two of the watch's: nothing changed, nothing told.
    QTest::qWait(1000 * (2 * interval + 3));
    EXPECT_TRUE(notifications().isEmpty()) << notifications().join('\n').toStdString();

    ASSERT_TRUE(pull("B").ok());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !notifications().isEmpty(); }, 1000 * 2 * interval)) << output();
    ASSERT_EQ(notifications().size(), 1) << output();
    const QStringList n = notifications().first().split('|');
    EXPECT_EQ(n.value(0), pool + " is DEGRADED");
    EXPECT_EQ(n.value(1), pulled + " in Slot-B of Varnelo Quad TB2 is OFFLINE");
    EXPECT_TRUE(n.value(2).split(',').contains("default"));
    // The stand-in clicks it: the window comes forward with the pool selected.
    QTest::qWait(1500);
    EXPECT_TRUE(output().find("Notification clicked: showing " + pool.toStdString()) != std::string::npos);

    // The same state read again is not news.
    QTest::qWait(1000 * (2 * interval + 1));
    EXPECT_EQ(notifications().size(), 1);
}

}  // namespace
