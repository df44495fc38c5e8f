#include "zpool/ZpoolStatus.h"

#include "zpool/ZpoolText.h"

#include <QHash>

using ZpoolText::Fields;
using ZpoolText::forEachLine;
using ZpoolText::splitFields;

namespace {
const QString Subcommand = QStringLiteral("status");

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
}  // namespace

QStringList ZpoolStatus::arguments()
{
    return {Subcommand, QStringLiteral("-L")};
}

const ZpoolShape& ZpoolStatus::shape()
{
    using V = ZpoolShape::Value;
    static const ZpoolShape s{
        Subcommand, {{"-L", V::None}, {"-P", V::None}, {"-v", V::None}, {"-x", V::None}}, 0, -1, false};
    return s;
}

ZpoolStatus::Result ZpoolStatus::ShowRAIDStatus(const QString& text, const RaidList& pools)
{
    if (ZpoolText::hasFailureMarker(text))
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
            pool = ZpoolText::labelValue(line);
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
        if (!inConfig || ZpoolText::isPoolsOwnLine(line, pool))
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
