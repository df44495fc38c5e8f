// The health watch and Verify on the sandbox and the real zpool. Tarnwell runs
// as a program on a private session bus whose notification service is a
// stand-in that records what it is sent.
#include "create/PoolMountPoint.h"
#include "pools/PoolRefresh.h"
#include "support/Sandbox.h"
#include "zpool/ZpoolCMD.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

constexpr int FirstDisk = 740;

QString zpool(const QStringList& args)
{
    return runTool(realZpoolPath(), args);
}

class OnSandbox : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Sandbox::canRun())
            GTEST_SKIP() << "needs root, /dev/fuse and loop devices";
        sandbox_.down();
        const auto up = sandbox_.up(1, FirstDisk, size_);
        ASSERT_TRUE(up.ok()) << up.err.toStdString();
        if (zpool({"list"}).contains("connect"))
            GTEST_SKIP() << "the zfs-fuse daemon is not running (tools/zfs-daemon start)";
        pool_ = QStringLiteral("w15_watch%1").arg(getpid());
    }
    void TearDown() override
    {
        for (QProcess* p : {&tarnwell_, &standIn_, &bus_}) {
            p->kill();
            p->waitForFinished(5000);
        }
        for (int attempt = 0; attempt < 5 && zpool({"list"}).contains(pool_); ++attempt) {
            zpool({"destroy", "-f", pool_});
            if (zpool({"list"}).contains(pool_))
                QTest::qWait(1000);
        }
        if (Sandbox::canRun()) {
            EXPECT_TRUE(sandbox_.down().ok());
        }
    }

    void createPool(const QStringList& vdevs)
    {
        const QString made = zpool(QStringList{"create", "-f", pool_} + vdevs);
        ASSERT_TRUE(zpool({"list"}).contains(pool_)) << made.toStdString();
    }

    // A session bus of our own with the stand-in on it, then Tarnwell on the
    // sandbox's enclosure, checking every `interval` seconds.
    void startTarnwell(int interval)
    {
        ASSERT_TRUE(home_.isValid());
        QDir(home_.path()).mkpath("Tarnwell");
        QFile conf(home_.filePath("Tarnwell/Tarnwell.conf"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("[watch]\nintervalSeconds=%1\n").arg(interval).toUtf8());
        conf.close();

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
        tarnwell_.start(TARNWELL_BINARY_DIR "/src/tarnwell", {"--registry", sandbox_.fixture()});
        ASSERT_TRUE(tarnwell_.waitForStarted(10000));
    }
    QString records() const { return home_.filePath("notifications.jsonl"); }
    QList<QJsonObject> notifications() const
    {
        QList<QJsonObject> out;
        QFile f(records());
        if (f.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : f.readAll().split('\n')) {
                if (!line.isEmpty())
                    out << QJsonDocument::fromJson(line).object();
            }
        }
        return out;
    }
    std::string output() { return seen_ += tarnwell_.readAll().toStdString(); }

    QString size_ = QStringLiteral("128M");
    Sandbox sandbox_{QStringLiteral("watch")};
    QString pool_;
    QTemporaryDir home_;
    QProcess bus_, standIn_, tarnwell_;
    std::string seen_;  // what Tarnwell printed so far
};

using Watch = OnSandbox;

TEST_F(Watch, APulledDiskIsToldOnceWithItsBayAndEnclosure)
{
    createPool({"raidz", "/dev/" + sandbox_.diskIn("Slot-A"), "/dev/" + sandbox_.diskIn("Slot-B"),
                "/dev/" + sandbox_.diskIn("Slot-C")});
    const QString pulled = sandbox_.diskIn("Slot-B");
    constexpr int interval = 3;
    startTarnwell(interval);
    // Its first read, then two of the watch's: nothing changed, nothing told.
    QTest::qWait(1000 * (2 * interval + 3));
    EXPECT_TRUE(notifications().isEmpty());

    ASSERT_TRUE(sandbox_.pull("B").ok());
    QElapsedTimer clock;
    clock.start();
    while (notifications().isEmpty() && clock.elapsed() < 1000 * 2 * interval)
        QTest::qWait(200);
    ASSERT_EQ(notifications().size(), 1) << output();
    const QJsonObject n = notifications().first();
    EXPECT_EQ(n["summary"].toString(), pool_ + " is DEGRADED");
    EXPECT_EQ(n["body"].toString(), pulled + " in Slot-B of Varnelo Quad TB2 is OFFLINE");
    EXPECT_TRUE(n["actions"].toArray().contains("default"));
    // The stand-in clicks it: the window comes forward with the pool selected.
    QTest::qWait(1500);
    EXPECT_TRUE(output().find("Notification clicked: showing " + pool_.toStdString()) != std::string::npos);

    // The same state read again is not news.
    QTest::qWait(1000 * (2 * interval + 1));
    EXPECT_EQ(notifications().size(), 1);
}

class Verify : public OnSandbox {
protected:
    void SetUp() override
    {
        size_ = QStringLiteral("2G");
        OnSandbox::SetUp();
    }
    std::optional<RaidScan> scan()
    {
        const PoolRefresh::Pools read = PoolRefresh::readPools(zpool_, false);
        for (const RaidInfoPtr& p : read.pools) {
            if (p->Name == pool_)
                return p->scan;
        }
        return std::nullopt;
    }
    ZpoolCMD zpool_;
};

TEST_F(Verify, StartsShowsProgressAndStops)
{
    createPool({"/dev/" + sandbox_.diskIn("Slot-A"), "/dev/" + sandbox_.diskIn("Slot-B")});
    zpool_.setZpoolPath(realZpoolPath());
    // zfs-fuse scrubs a sandbox pool within a second; many small blocks give
    // it seconds of work, so there is progress to see and a scrub to stop.
    runTool("/usr/sbin/zfs", {"set", "recordsize=1K", pool_});
    const std::optional<QString> mount = PoolMountPoint::find(pool_);
    ASSERT_TRUE(mount);
    int status = -1;
    runTool("/bin/dd", {"if=/dev/urandom", "of=" + *mount + "/photos.bin", "bs=1M", "count=600"}, &status);
    ASSERT_EQ(status, 0);

    ASSERT_TRUE(zpool_.run("VERIFY", pool_).ok());
    std::optional<RaidScan> s = scan();
    ASSERT_TRUE(s);
    ASSERT_EQ(s->state, RaidScan::State::InProgress) << s->text.toStdString();
    EXPECT_EQ(s->kind, RaidScan::Kind::Scrub);
    ASSERT_TRUE(s->percentDone);
    EXPECT_LT(*s->percentDone, 100.0);

    const ToolResult stop = zpool_.run("STOP VERIFY", pool_);
    ASSERT_TRUE(stop.ok()) << stop.report().toStdString();
    s = scan();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->state, RaidScan::State::Canceled) << s->text.toStdString();
}

}  // namespace
