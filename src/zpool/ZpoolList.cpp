#include "zpool/ZpoolList.h"

#include "zpool/ZpoolText.h"

using ZpoolText::Bytes;
using ZpoolText::Fields;
using ZpoolText::forEachLine;
using ZpoolText::splitFields;

namespace {
const QString Subcommand = QStringLiteral("list");

QString joined(const Fields& f, qsizetype from, qsizetype to)
{
    if (from == to)
        return ZpoolText::decode(f[from]);
    QByteArray s;
    for (qsizetype i = from; i <= to; ++i) {
        if (i > from)
            s += ' ';
        s += f[i];
    }
    return ZpoolText::decode(s);
}

// Where each value sits on a `zpool list` line. Without a header, the layout
// NAME SIZE ALLOC FREE EXPANDSZ FRAG CAP DEDUP HEALTH ALTROOT is assumed.
struct ListColumns {
    qsizetype count = 10;
    qsizetype size = 1, alloc = 2, free = 3, cap = 6, health = 8;

    static bool isHeader(const Fields& f)
    {
        // A pool may well be called NAME; its line has no SIZE after it.
        return f.size() >= 2 && f[0] == "NAME" && f[1] == "SIZE";
    }

    static ListColumns fromHeader(const Fields& f)
    {
        ListColumns c;
        c.count = f.size();
        c.size = c.alloc = c.free = c.cap = c.health = -1;
        for (qsizetype i = 1; i < f.size(); ++i) {
            const Bytes h = f[i];
            if (h == "SIZE")
                c.size = i;
            else if (h == "ALLOC" || h == "USED")  // USED/AVAIL: the oldest tools
                c.alloc = i;
            else if (h == "FREE" || h == "AVAIL")
                c.free = i;
            else if (h == "CAP")
                c.cap = i;
            else if (h == "HEALTH")
                c.health = i;
        }
        return c;
    }
};

std::optional<QString> column(const Fields& f, qsizetype col, qsizetype surplus, ZpoolText::Recent& recent)
{
    if (col < 0)
        return std::nullopt;
    return recent(f[col + surplus]);
}

bool isListHeaderLine(Bytes line)
{
    return line.trimmed().startsWith("NAME") && ListColumns::isHeader(splitFields(line));
}
}  // namespace

QStringList ZpoolList::arguments()
{
    return {Subcommand};
}

ZpoolList::Result ZpoolList::ShowRAIDList(const QString& text)
{
    return ShowRAIDList(ZpoolText::bytesOf(text));
}

ZpoolList::Result ZpoolList::ShowRAIDList(const QByteArray& text)
{
    RaidList pools;
    if (ZpoolText::hasFailureMarker(text))
        return pools;

    // With a header, anything before it is a message of the tool, not a pool.
    bool hasHeader = false;
    for (qsizetype at = text.indexOf("NAME"); at >= 0; at = text.indexOf("NAME", at + 1)) {
        const qsizetype from = text.lastIndexOf('\n', at) + 1;
        const qsizetype to = text.indexOf('\n', at);
        hasHeader = isListHeaderLine(Bytes(text).sliced(from, (to < 0 ? text.size() : to) - from));
        if (hasHeader)
            break;
    }

    const char* const textEnd = text.constData() + text.size();
    ListColumns columns;
    bool reading = !hasHeader;
    // Pools of one make repeat their sizes; equal values share one string.
    ZpoolText::Recent health, size, alloc, free, cap;
    forEachLine(text, [&](Bytes line) {
        const Fields f = splitFields(line, textEnd);
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
        info->Size = column(f, columns.size, surplus, size);
        info->Alloc = column(f, columns.alloc, surplus, alloc);
        info->Free = column(f, columns.free, surplus, free);
        info->Capacity = column(f, columns.cap, surplus, cap);
        if (columns.health >= 0)
            info->Health = health(f[columns.health + surplus]);
        pools.append(std::move(info));
    });
    return pools;
}

bool ZpoolList::saysNoPools(const QString& text)
{
    return text.contains(QLatin1String("no pools available"));
}
