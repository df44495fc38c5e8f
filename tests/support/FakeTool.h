#pragma once
// A stand-in executable for tests: a shell script that records each call's
// arguments and prints a canned answer chosen by its first argument.
#include "support/ShellScript.h"

#include <QTemporaryDir>

#include <algorithm>

class FakeTool {
public:
    explicit FakeTool(const QString& name = QStringLiteral("zpool"))
    {
        // Arguments are written NUL-separated, one call per record ending in
        // "\x1e"; a record goes in with one write, as calls may overlap.
        path_ = writeShellScript(dir_.path(), name,
                                 "d=$(dirname \"$0\"); r=\"$d/call.$$\"; : > \"$r\"\n"
                                 "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$r\"; done\n"
                                 "printf '\\036' >> \"$r\"; cat \"$r\" >> \"$d/calls\"; rm -f \"$r\"\n"
                                 "k=\"$1\"; [ -n \"$2\" ] && [ -f \"$d/out/$1 $2\" ] && k=\"$1 $2\"\n"
                                 "[ -f \"$d/out/$k\" ] && cat \"$d/out/$k\"\n"
                                 "[ -f \"$d/err/$k\" ] && cat \"$d/err/$k\" >&2\n"
                                 "[ -f \"$d/sh/$k\" ] && . \"$d/sh/$k\"\n"
                                 "exit 0\n");
    }
    QString path() const { return path_; }
    QString dir() const { return dir_.path(); }

    // What the tool prints on stdout when called with `key` as its first
    // argument (or first two arguments, e.g. "status -L").
    void setOutput(const QString& key, const QString& text) { writeFile(dir_.filePath("out/" + key), text.toUtf8()); }
    void setError(const QString& key, const QString& text) { writeFile(dir_.filePath("err/" + key), text.toUtf8()); }
    // Shell text run after the output, e.g. "exit 3" or "sleep 600".
    void setScript(const QString& key, const QString& text) { writeFile(dir_.filePath("sh/" + key), text.toUtf8()); }
    void setOutputFromFile(const QString& key, const QString& file)
    {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        setOutput(key, QString::fromUtf8(f.readAll()));
    }

    // Every call so far, each as its argument list.
    QList<QStringList> calls() const
    {
        QList<QStringList> result;
        QFile f(dir_.filePath("calls"));
        QList<QByteArray> records = (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray()).split('\x1e');
        records.removeLast();  // what follows the last call's end
        for (const QByteArray& rec : std::as_const(records)) {
            result << QStringList();
            for (const QByteArray& a : rec.split('\0').mid(0, rec.count('\0')))
                result.last() << QString::fromUtf8(a);
        }
        return result;
    }
    void clearCalls() { QFile::remove(dir_.filePath("calls")); }
    // For runs that may overlap, such as a refresh's reads: the calls sorted.
    static QList<QStringList> inAnyOrder(QList<QStringList> calls)
    {
        std::sort(calls.begin(), calls.end());
        return calls;
    }

private:
    QTemporaryDir dir_;
    QString path_;
};
