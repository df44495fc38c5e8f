#pragma once
// A test on a sandbox of its own (tools/sandbox: virtual enclosures on the real
// zfs-fuse), brought up fresh and taken down after with the pools the test
// names, leaving nothing behind; skipped where the real zpool cannot run. Each
// test binary gets its own state directory, stable per build tree so that a
// run that crashed is cleaned up by the next one.
#include "support/RealZpool.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

class OnSandbox : public ::testing::Test {
protected:
    OnSandbox(const QString& name, int enclosures, int firstDisk, const QString& size = "128M")
        : stateDir_(QStringLiteral("/tmp/tarnwell-sbx-%1-%2")
                        .arg(QString::fromLatin1(
                                 QCryptographicHash::hash(TARNWELL_BINARY_DIR, QCryptographicHash::Sha1).toHex().left(8)),
                             name)),
          up_({"up", "--enclosures", QString::number(enclosures), "--first-disk", QString::number(firstDisk), "--size",
               size})
    {
    }
    void SetUp() override
    {
        const QString why = RealZpool::unavailable();
        if (!why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        sandbox({"down"});  // what an interrupted run left
        const auto up = sandbox(up_);
        ASSERT_TRUE(up.ok()) << up.err.toStdString();
    }
    void TearDown() override
    {
        if (IsSkipped())
            return;
        for (const QString& pool : std::as_const(pools))
            RealZpool::destroy(pool);
        const auto down = sandbox({"down"});
        EXPECT_TRUE(down.ok()) << down.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(stateDir_)) << "down leaves nothing behind";
        EXPECT_FALSE(runTool("/usr/sbin/losetup", {"--list"}).contains(stateDir_));
    }

    struct Result {
        int exitCode = -1;
        QString out, err;
        bool ok() const { return exitCode == 0; }
    };
    Result sandbox(const QStringList& args) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TARNWELL_SANDBOX_DIR", stateDir_);
        env.insert("LC_ALL", "C");
        p.setProcessEnvironment(env);
        p.start(TARNWELL_SOURCE_DIR "/tools/sandbox", args);
        p.waitForFinished(120000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    // Bays are "B" or "Slot-B".
    Result pull(const QString& bay, int enclosure = 1) { return sandbox({"pull", bay, on(enclosure)}); }
    Result insert(const QString& bay, int enclosure = 1) { return sandbox({"insert", bay, on(enclosure)}); }
    Result cable(bool plugged, int enclosure = 1) { return sandbox({plugged ? "plug" : "unplug", on(enclosure)}); }
    QString fixture() const { return stateDir_ + "/registry.json"; }

    // The disk name (diskN) in a bay ("Slot-B") of an enclosure, "" when the bay is empty.
    QString diskIn(const QString& bay, int enclosure = 1) const
    {
        const QJsonObject status = QJsonDocument::fromJson(sandbox({"status", "--json"}).out.toUtf8()).object();
        for (const auto& e : status.value("enclosures").toArray()) {
            if (e.toObject().value("index").toInt() == enclosure)
                return e.toObject().value("bays").toObject().value(bay).toObject().value("name").toString();
        }
        return {};
    }
    QString disk(const QString& bay, int enclosure = 1) const { return "/dev/" + diskIn(bay, enclosure); }

    void createPool(const QString& name, const QStringList& vdevs)
    {
        pools << name;
        const QString out = RealZpool::run(QStringList{"create", "-f", name} + vdevs);
        ASSERT_TRUE(RealZpool::listed(name)) << out.toStdString();
    }
    QStringList pools;  // destroyed at the end

private:
    static QString on(int enclosure) { return QStringLiteral("--enclosure=%1").arg(enclosure); }
    QString stateDir_;
    QStringList up_;
};
