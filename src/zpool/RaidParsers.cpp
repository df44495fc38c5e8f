#include "zpool/RaidParsers.h"

#include "base/Log.h"
#include "zpool/ZpoolText.h"

#include <QHash>
#include <QRegularExpression>

using ZpoolText::Fields;
using ZpoolText::forEachLine;
using ZpoolText::isBlank;
using ZpoolText::splitFields;

namespace {

const QString kNoPools = QStringLiteral("no pools available");
const QString kNoModule = QStringLiteral("Failed to load ZFS module stack.");
const QString kNoImport = QStringLiteral("no pools available to import");

bool hasFailureMarker(const QString& text)
{
    return text.contains(kNoPools) || text.contains(kNoModule);
}

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

// The text after the first ": " up to the next ": ", as in "  pool: tank".
QString labelValue(QStringView line)
{
    const qsizetype start = line.indexOf(u": ");
    QStringView rest = line.mid(start + 2);
    const qsizetype end = rest.indexOf(u": ");
    if (end >= 0)
        rest = rest.left(end);
    return rest.trimmed().toString();
}

// The pool's own line in a configuration block starts with the pool's name as
// whole fields. A name with blanks in it spans several fields.
bool isPoolsOwnLine(QStringView line, const QString& pool)
{
    if (pool.isEmpty())
        return false;
    qsizetype i = 0;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    const QStringView rest = line.mid(i);
    return rest.startsWith(pool) && (rest.size() == pool.size() || isBlank(rest[pool.size()]));
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

// Counters and states repeat from line to line; sharing the last value spares
// most of the allocations on a big status text.
class Recent {
public:
    const QString& operator()(QStringView v)
    {
        if (value_ != v)
            value_ = v.toString();
        return value_;
    }

private:
    QString value_;
};

// A device line of an import scan's configuration: a name and its state, or
// a spare's bare name. Group lines (raidz1-0, mirror-0) and section words
// (logs, spares) are not devices.
bool isImportDeviceLine(const Fields& f)
{
    static const QStringList sections = {QStringLiteral("logs"), QStringLiteral("cache"),
                                         QStringLiteral("spares"), QStringLiteral("special"),
                                         QStringLiteral("dedup")};
    static const QStringList states = {
        QStringLiteral("ONLINE"),  QStringLiteral("DEGRADED"), QStringLiteral("FAULTED"),
        QStringLiteral("OFFLINE"), QStringLiteral("UNAVAIL"),  QStringLiteral("REMOVED"),
        QStringLiteral("AVAIL"),   QStringLiteral("INUSE")};
    if (f.isEmpty() || (f.size() > 1 && !states.contains(f[1].toString())))
        return false;
    const QString name = f[0].toString();
    if (sections.contains(name))
        return false;
    static const QRegularExpression group(
        QStringLiteral("^(mirror|replacing|spare|raidz[1-3]?|draid[1-3]?(:[0-9a-z:]*)?)-[0-9]+$"));
    return !group.match(name).hasMatch();
}

bool isListHeaderLine(QStringView line)
{
    return line.trimmed().startsWith(u"NAME") && ListColumns::isHeader(splitFields(line));
}

}  // namespace

RaidList RaidParsers::ShowRAIDList(const QString& text)
{
    RaidList pools;
    if (hasFailureMarker(text))
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

bool RaidParsers::ShowRAIDStatus(const QString& text, const RaidList& pools)
{
    if (hasFailureMarker(text))
        return false;

    // Several records may carry one name; all of them get the pool's rows.
    QHash<QString, QList<RaidInfo*>> byName;
    byName.reserve(pools.size());
    for (const RaidInfoPtr& p : pools) {
        if (p && p->Name)
            byName[*p->Name].append(p.get());
    }
    static const QList<RaidInfo*> none;

    enum class Section { Data, Aux, Spares };
    const QString striped = QStringLiteral("Striped");
    QString pool;
    const QList<RaidInfo*>* targets = &none;
    QString mode = striped;      // carried by each row
    QString poolMode = striped;  // the pool's layout: data vdevs only
    Section section = Section::Data;
    bool inConfig = false;
    Recent state, read, write, cksum;

    forEachLine(text, [&](QStringView line) {
        if (line.isEmpty())
            return;
        // Every label below has a colon; member lines rarely do.
        const bool labelled = line.contains(u':');
        if (labelled && (line.contains(u"state: ") || line.contains(u"status: ") ||
                         line.contains(u"action: ") || line.contains(u"scan: ")))
            return;
        if (labelled && line.contains(u"pool: ")) {
            pool = labelValue(line);
            const auto it = byName.constFind(pool);
            targets = it == byName.cend() ? &none : &it.value();
            mode = poolMode = striped;
            section = Section::Data;
            // A block without an errors line must not swallow the next one's text.
            inConfig = false;
            return;
        }
        if (labelled && line.contains(u"config:")) {
            inConfig = true;
            return;
        }
        if (labelled && line.contains(u"errors:")) {
            for (RaidInfo* r : *targets)
                r->RaidMode = poolMode;
            inConfig = false;
            return;
        }
        if (!inConfig || isPoolsOwnLine(line, pool))
            return;
        const Fields f = splitFields(line);
        if (f.size() >= 2 && f[0] == u"NAME" && f[1] == u"STATE")
            return;  // the block's column header

        if (f.size() == 1) {
            // Log, cache and spare devices are not part of the pool's layout.
            const QStringView h = f[0];
            if (h == u"spares") {
                section = Section::Spares;
                mode = striped;
            } else if (h == u"logs" || h == u"cache" || h == u"special" || h == u"dedup") {
                section = Section::Aux;
                mode = striped;
            }
            return;
        }
        // Spare lines read "disk9 AVAIL" or "disk9 INUSE currently in use": no counters.
        if (f.size() < 5 || section == Section::Spares)
            return;

        const QStringView g0 = f[0];
        if (g0.startsWith(u"raidz1-"))
            mode = QStringLiteral("RaidZ");
        else if (g0.startsWith(u"raidz2-"))
            mode = QStringLiteral("RaidZ2");
        else if (g0.startsWith(u"mirror-"))
            mode = QStringLiteral("Mirror");
        if (section == Section::Data)
            poolMode = mode;

        // RAID-Z group lines set the mode but are not members.
        if (g0.startsWith(u"raidz") || targets->isEmpty())
            return;

        auto row = std::make_shared<RaidStatus>();
        row->mountOn = pool;
        row->raidMode = mode;
        row->DiskName = g0.toString();
        row->State = state(f[1]);
        row->Read = read(f[2]);
        row->Write = write(f[3]);
        row->CKSum = cksum(f[4]);
        QString others;
        for (qsizetype i = 5; i < f.size(); ++i) {
            others += f[i];
            others += u' ';
        }
        row->Others = others;
        for (RaidInfo* r : *targets)
            r->Status.append(row);
    });
    return true;
}

void RaidParsers::ShowUnimportRAID(const QString& text, RaidList& pools)
{
    if (text.contains(kNoImport)) {
        Log::write(kNoImport);
        return;
    }

    QString pool;
    bool inConfig = false;
    RaidInfo* current = nullptr;  // the pool whose device lines follow
    forEachLine(text, [&](QStringView line) {
        if (line.isEmpty())
            return;
        const bool labelled = line.contains(u':');
        if (labelled && (line.contains(u"status: ") || line.contains(u"action: ") ||
                         line.contains(u"see: ")))
            return;
        if (labelled && line.contains(u"pool: ")) {
            pool = labelValue(line);
            current = nullptr;
            return;
        }
        if (labelled && line.contains(u"state: "))
            return;
        if (labelled && line.contains(u"config:")) {
            inConfig = true;
            return;
        }
        if (current) {
            const Fields f = splitFields(line);
            if (isImportDeviceLine(f))
                current->ejectedDisks << f[0].toString();
            return;
        }
        if (!inConfig || !isPoolsOwnLine(line, pool))
            return;
        // The state is the field right after the name, which may have blanks in it.
        const Fields f = splitFields(line);
        const Fields nameFields = splitFields(pool);
        if (f.size() <= nameFields.size())
            return;
        const QString state = f[nameFields.size()].toString();

        auto info = std::make_shared<RaidInfo>();
        info->Name = pool;
        if (state == u"ONLINE")
            info->Health = QStringLiteral("EJECTED");
        else if (state == u"DEGRADED")
            info->Health = state + QStringLiteral(" EJECTED");
        else
            info->Health = state;
        current = info.get();
        pools.append(std::move(info));
        inConfig = false;
    });
}
