#pragma once
// Small helpers for registry trees written in the tests themselves.
#include "devices/FixtureRegistry.h"
#include "devices/Registry.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QString>

#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

inline QString registryFixture(const QString& name)
{
    return QStringLiteral(TARNWELL_TEST_DATA "/registry/") + name;
}

inline QString readFixtureText(const QString& name)
{
    QFile f(registryFixture(name));
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

// Copies a fixture over `target` the way scripts do: write aside, rename.
inline void replaceFileWith(const QString& source, const QString& target)
{
    QFile in(source);
    in.open(QIODevice::ReadOnly);
    QSaveFile out(target);
    out.open(QIODevice::WriteOnly);
    out.write(in.readAll());
    out.commit();
}

// Adds a chain of entries below `parent`, one per "name" or "name@location"
// component; the last one gets `cls` and `props`, the others class "IOService".
inline int addPath(RegistryTree& tree, int parent, const QString& components, const QString& cls,
                   const QVariantMap& props = {})
{
    const QStringList parts = components.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    int at = parent;
    for (int i = 0; i < parts.size(); ++i) {
        const QString& c = parts[i];
        const qsizetype a = c.indexOf(QLatin1Char('@'));
        const QString name = a < 0 ? c : c.left(a);
        std::optional<QString> loc;
        if (a >= 0)
            loc = c.mid(a + 1);
        const bool last = i == parts.size() - 1;
        at = tree.add(at, last ? cls : QStringLiteral("IOService"), name, last ? props : QVariantMap(), loc);
    }
    return at;
}

// A whole-disk media (and optional partitions) below `parent`.
inline int addMedia(RegistryTree& tree, int parent, const QString& bsd, qint64 size, const QString& content)
{
    QVariantMap p{{"Whole", true}, {"Leaf", content.isEmpty()}, {"Open", true},
                  {"Size", size}, {"Content", content}};
    if (!bsd.isEmpty())
        p.insert("BSD Name", bsd);
    return tree.add(parent, "IOMedia", "Disk Media", p);
}

inline int addPartition(RegistryTree& tree, int parent, const QString& bsd, int n, bool open, bool leaf = true)
{
    QVariantMap p{{"Whole", false}, {"Leaf", leaf}, {"Open", open}, {"Size", qint64(1000)}, {"Content", "x"}};
    if (!bsd.isEmpty())
        p.insert("BSD Name", bsd);
    return tree.add(parent, "IOMedia", QStringLiteral("Part %1").arg(n), p, QString::number(n));
}
