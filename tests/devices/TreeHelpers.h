#pragma once
#include "devices/FixtureRegistry.h"
#include "devices/Registry.h"
#include "devices/VRLThunderboltInfo.h"
#include "support/QtPrinters.h"

inline QString registryFixture(const QString& name)
{
    return QStringLiteral(TARNWELL_TEST_DATA "/registry/") + name;
}

// Adds a chain of entries below `parent`, one per "name" or "name@location"
// component; the last one gets `cls` and `props`, the others class "IOService".
inline int addPath(RegistryTree& tree, int parent, const QString& components, const QString& cls,
                   const QVariantMap& props = {})
{
    const QStringList parts = components.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    int at = parent;
    for (int i = 0; i < parts.size(); ++i) {
        const bool last = i == parts.size() - 1;
        const QString name = parts[i].section(QLatin1Char('@'), 0, 0);
        const auto location = parts[i].contains('@') ? std::optional(parts[i].section('@', 1)) : std::nullopt;
        at = tree.add(at, last ? cls : QStringLiteral("IOService"), name, last ? props : QVariantMap(), location);
    }
    return at;
}

// Whole-disk media (`content` "" for a blank disk) and partitions below `parent`.
inline int addMedia(RegistryTree& tree, int parent, const QString& bsd, qint64 size, const QString& content)
{
    return tree.add(parent, "IOMedia", "Disk Media",
                    {{"BSD Name", bsd}, {"Whole", true}, {"Leaf", content.isEmpty()}, {"Open", true}, {"Size", size},
                     {"Content", content}});
}

inline int addPartition(RegistryTree& tree, int parent, const QString& bsd, int n, bool open, bool leaf = true)
{
    QVariantMap p{{"Whole", false}, {"Leaf", leaf}, {"Open", open}, {"Size", qint64(1000)}, {"Content", "x"}};
    if (!bsd.isEmpty())
        p.insert("BSD Name", bsd);
    return tree.add(parent, "IOMedia", QStringLiteral("Part %1").arg(n), p, QString::number(n));
}

// A scan as lines to compare whole: each enclosure, its disks and their
// partitions, indented; absent values show as "-".
inline QStringList scanPicture(const TBList& enclosures)
{
    auto text = [](const std::optional<QString>& s) { return s.value_or(QStringLiteral("-")); };
    auto num = [](const std::optional<qint64>& n) { return n ? QString::number(*n) : QStringLiteral("-"); };
    QStringList out;
    for (const VRLThunderboltInfoPtr& tb : enclosures) {
        out << QStringLiteral("%1/%2 %3|%4 uid=%5 depth=%6 parent=%7 route=%8")
                   .arg(num(tb->vendorID), num(tb->moduleID), text(tb->vendorName), text(tb->moduleName),
                        num(tb->uid), num(tb->depth), num(tb->parentTb), num(tb->routeSring));
        for (const VRLHddInfoPtr& h : tb->hddArray) {
            out << QStringLiteral("  %1 %2 %3|%4|%5%6")
                       .arg(text(h->slotPath), text(h->devPath), text(h->hddModel), text(h->hddSN),
                            num(h->diskSize), h->isUnFormated ? QStringLiteral(" blank") : QString());
            for (const VRLBsdInfoPtr& b : h->bsdPathArray)
                out << QStringLiteral("    %1 %2|%3|%4")
                           .arg(text(b->devPath), text(b->mountPoint), num(b->capacitySize), num(b->availableSize));
        }
    }
    return out;
}
