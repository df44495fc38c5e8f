#include "zpool/ZpoolList.h"

#include "zpool/ZpoolText.h"

using ZpoolText::Fields;
using ZpoolText::forEachLine;
using ZpoolText::splitFields;

namespace {
const QString Subcommand = QStringLiteral("list");

QString joined(const Fields& f, qsizetype from, qsizetype to)
{
    QString s;
    for (qsizetype i = from; i <= to; ++i) {
        if (i > from)
            s += u' ';
        s += f[i];
    }
    return s;
}

// Where each value sits on a `zpool list` line. Without a header, the layout
// NAME SIZE ALLOC FREE EXPANDSZ FRAG CAP DEDUP HEALTH ALTROOT is assumed.
struct ListColumns {
    qsizetype count = 10;
    qsizetype size = 1, alloc = 2, free = 3, cap = 6, health = 8;

    static bool isHeader(const Fields& f)
    {
        // A pool may well be called NAME; its line has no SIZE after it.
        return f.size() >= 2 && f[0] == u"NAME" && f[1] == u"SIZE";
    }

    static ListColumns fromHeader(const Fields& f)
    {
        ListColumns c;
        c.count = f.size();
        c.size = c.alloc = c.free = c.cap = c.health = -1;
        for (qsizetype i = 1; i < f.size(); ++i) {
            const QStringView h = f[i];
            if (h == u"SIZE")
                c.size = i;
            else if (h == u"ALLOC" || h == u"USED")  // USED/AVAIL: the oldest tools
                c.alloc = i;
            else if (h == u"FREE" || h == u"AVAIL")
                c.free = i;
            else if (h == u"CAP")
                c.cap = i;
            else if (h == u"HEALTH")
                c.health = i;
        }
        return c;
    }
};

std::optional<QString> column(const Fields& f, qsizetype col, qsizetype surplus)
{
    if (col < 0)
        return std::nullopt;
    return f[col + surplus].toString();
}

bool isListHeaderLine(QStringView line)
{
    return line.trimmed().startsWith(u"NAME") && ListColumns::isHeader(splitFields(line));
}
}  // namespace

QStringList ZpoolList::arguments()
{
    return {Subcommand};
}

const ZpoolShape& ZpoolList::shape()
{
    static const ZpoolShape s{Subcommand, {}, 0, -1, false};
    return s;
}

ZpoolList::Result ZpoolList::ShowRAIDList(const QString& text)
{
    RaidList pools;
    if (ZpoolText::hasFailureMarker(text))
        return pools;

    // With a header, anything before it is a message of the tool, not a pool.
    bool hasHeader = false;
    forEachLine(text, [&](QStringView line) {
        if (!hasHeader && isListHeaderLine(line))
            hasHeader = true;
    });

    ListColumns columns;
    bool reading = !hasHeader;
    forEachLine(text, [&](QStringView line) {
        const Fields f = splitFields(line);
        if (ListColumns::isHeader(f)) {
            columns = ListColumns::fromHeader(f);
            reading = true;
            return;
        }
        if (!reading || f.isEmpty() || f.size() < columns.count)
            return;
        // Surplus leading fields belong to a name with blanks in it.
        const qsizetype surplus = f.size() - columns.count;
        auto info = std::make_shared<RaidInfo>();
        info->Name = joined(f, 0, surplus);
        info->Size = column(f, columns.size, surplus);
        info->Alloc = column(f, columns.alloc, surplus);
        info->Free = column(f, columns.free, surplus);
        info->Capacity = column(f, columns.cap, surplus);
        info->Health = column(f, columns.health, surplus);
        pools.append(std::move(info));
    });
    return pools;
}

bool ZpoolList::saysNoPools(const QString& text)
{
    return text.contains(QLatin1String("no pools available"));
}
