#pragma once
// Files for tests: plain ones, and small executable /bin/sh scripts for
// stand-in tools with behaviour of their own (FakeTool only prints canned text).
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

// Writes `text` to `path`, making its folders.
inline bool writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

inline QString writeShellScript(const QString& dir, const QString& name, const QByteArray& body)
{
    const QString path = dir + QLatin1Char('/') + name;
    writeFile(path, "#!/bin/sh\n" + body);
    QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                               QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                               QFileDevice::ExeOther);
    return path;
}
