#include "zpool/ZpoolImportScan.h"

#include "base/Log.h"
#include "zpool/ZpoolText.h"

#include <QRegularExpression>

using ZpoolText::Fields;
using ZpoolText::forEachLine;
using ZpoolText::splitFields;

namespace {
const QString Subcommand = QStringLiteral("import");
const QString kNoImport = QStringLiteral("no pools available to import");

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
}  // namespace

QStringList ZpoolImportScan::arguments()
{
    return {Subcommand};
}

const ZpoolShape& ZpoolImportScan::shape()
{
    static const ZpoolShape s{Subcommand, {}, 0, 0, false};
    return s;
}

void ZpoolImportScan::ShowUnimportRAID(const QString& text, Result& pools)
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
            pool = ZpoolText::labelValue(line);
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
        if (!inConfig || !ZpoolText::isPoolsOwnLine(line, pool))
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
