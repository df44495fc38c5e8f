#pragma once
// Drives tools/sandbox from tests: a virtual enclosure on the real zfs-fuse.
// Each test binary gets its own state directory (stable per build tree, so a
// run that crashed is cleaned up by the next one) and disk numbers far above
// the ones hand-written tests use.
#include "support/ShellScript.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <unistd.h>

class Sandbox {
public:
    explicit Sandbox(const QString& name)
    {
        const QByteArray tree = QByteArrayLiteral(TARNWELL_BINARY_DIR);
        const QString tag = QString::fromLatin1(
            QCryptographicHash::hash(tree, QCryptographicHash::Sha1).toHex().left(8));
        stateDir_ = QStringLiteral("/tmp/tarnwell-sbx-%1-%2").arg(tag, name);
    }

    static QString tool() { return QStringLiteral(TARNWELL_SOURCE_DIR "/tools/sandbox"); }
    static bool canRun() { return geteuid() == 0 && QFile::exists("/dev/fuse") && QFile::exists("/dev/loop-control"); }

    QString stateDir() const { return stateDir_; }
    QString fixture() const { return stateDir_ + QStringLiteral("/registry.json"); }

    struct Result {
        int exitCode = -1;
        QString out;
        QString err;
        bool ok() const { return exitCode == 0; }
    };

    Result run(const QStringList& args) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARNWELL_SANDBOX_DIR"), stateDir_);
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        p.setProcessEnvironment(env);
        p.start(tool(), args);
        p.waitForFinished(120000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    Result up(int enclosures = 1, int firstDisk = 300, const QString& size = QStringLiteral("128M"))
    {
        return run({QStringLiteral("up"), QStringLiteral("--enclosures"), QString::number(enclosures),
                    QStringLiteral("--first-disk"), QString::number(firstDisk), QStringLiteral("--size"),
                    size});
    }
    Result down() { return run({QStringLiteral("down")}); }
    Result pull(const QString& bay, int enclosure = 1) { return run({QStringLiteral("pull"), bay, on(enclosure)}); }
    Result insert(const QString& bay, int enclosure = 1)
    {
        return run({QStringLiteral("insert"), bay, on(enclosure)});
    }
    Result cable(bool plugged, int enclosure = 1)
    {
        return run({plugged ? QStringLiteral("plug") : QStringLiteral("unplug"), on(enclosure)});
    }
    static QString on(int enclosure) { return QStringLiteral("--enclosure=%1").arg(enclosure); }

    // `status --json`; a null document when the sandbox is not up.
    QJsonObject status() const
    {
        return QJsonDocument::fromJson(run({QStringLiteral("status"), QStringLiteral("--json")}).out.toUtf8())
            .object();
    }
    // The disk name (diskN) in a bay of an enclosure, "" when the bay is empty.
    QString diskIn(const QString& bay, int enclosure = 1) const
    {
        const QJsonArray encs = status().value(QStringLiteral("enclosures")).toArray();
        for (const auto& e : encs) {
            const QJsonObject o = e.toObject();
            if (o.value(QStringLiteral("index")).toInt() == enclosure)
                return o.value(QStringLiteral("bays")).toObject().value(bay).toObject()
                    .value(QStringLiteral("name")).toString();
        }
        return {};
    }

private:
    QString stateDir_;
};

// The real zpool as the product finds it (through the sandbox's wrapper once up).
inline QString realZpoolPath() { return QStringLiteral("/usr/sbin/zpool"); }

