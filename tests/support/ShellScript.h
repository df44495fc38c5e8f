#pragma once
// Writes a small executable /bin/sh script for tests that need a stand-in
// tool with behaviour of its own (FakeTool only prints canned text).
#include <QByteArray>
#include <QFile>
#include <QString>

inline QString writeShellScript(const QString& dir, const QString& name, const QByteArray& body)
{
    const QString path = dir + QLatin1Char('/') + name;
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                     QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                     QFileDevice::ExeOther);
    return path;
}
