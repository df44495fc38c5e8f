#include "zpool/ZpoolStatus.h"

#include "zpool/ZpoolText.h"

#include <QHash>

using ZpoolText::Bytes;
using ZpoolText::Fields;
using ZpoolText::Label;
using ZpoolText::same;
using ZpoolText::splitFields;
using ZpoolText::startsWith;

namespace {
const QString Subcommand = QStringLiteral("status");

// "No known data errors" or "252 data errors, use '-v' for a list".
std::optional<qint64> dataErrors(Bytes value)
{
    if (value.startsWith("No known data errors"))
        return 0;
    const qsizetype space = value.indexOf(' ');
    if (space <= 0 || !value.sliced(space).startsWith(" data errors"))
        return std::nullopt;
    bool ok = false;
    const qint64 n = value.first(space).toLongLong(&ok);
    return ok && n >= 0 ? std::optional<qint64>(n) : std::nullopt;
}

}  // namespace

QStringList ZpoolStatus::arguments()
{
    return {Subcommand, QStringLiteral("-L")};
}

ZpoolStatus::Result ZpoolStatus::ShowRAIDStatus(const QString& text, const RaidList& pools)
{
    return ShowRAIDStatus(ZpoolText::bytesOf(text), pools);
}

ZpoolStatus::Result ZpoolStatus::ShowRAIDStatus(const QByteArray& text, const RaidList& pools)
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

    const char* const textEnd = text.constData() + text.size();
    enum class Section { Data, Aux, Spares };
    const QString striped = QStringLiteral("Striped");
    QString pool;
    Bytes poolBytes;
    const QList<RaidInfo*>* targets = &none;
    QString mode = striped;      // carried by each row
    QString poolMode = striped;  // the pool's layout: data vdevs only
    Section section = Section::Data;
    bool inConfig = false;
    ZpoolText::Recent state, read, write, cksum;

    // The scan line and the lines that continue it, up to the next label.
    const char* scanFrom = nullptr;
    const char* scanTo = nullptr;
    // The block's member rows, handed to its records in one piece: growing
    // every record's list row by row would reallocate it several times.
    RaidStatusList rows;
    auto endRows = [&] {
        if (rows.isEmpty())
            return;
        for (RaidInfo* r : *targets) {
            if (r->Status.isEmpty())
                r->Status = rows;
            else
                r->Status.append(rows);
        }
        const qsizetype count = rows.size();
        rows = RaidStatusList();
        rows.reserve(count);
    };
    auto endScan = [&] {
        if (!scanFrom)
            return;
        const RaidScan scan = RaidScan::parse(Bytes(scanFrom, scanTo - scanFrom));
        for (RaidInfo* r : *targets) {
            if (!r->scan || scan.outranks(*r->scan))
                r->scan = scan;
        }
        scanFrom = nullptr;
    };

    ZpoolText::forEachLine(text, [&](Bytes line) {
        if (line.isEmpty()) {
            endScan();
            return;
        }
        const ZpoolText::LabelLine label = ZpoolText::labelOf(line);
        if (scanFrom) {
            if (label.label == Label::None) {
                scanTo = line.data() + line.size();
                return;
            }
            endScan();
        }
        switch (label.label) {
        case Label::None:
            break;
        case Label::Pool: {
            endRows();
            poolBytes = label.value;
            pool = ZpoolText::decode(poolBytes);
            const auto it = byName.constFind(pool);
            targets = it == byName.cend() ? &none : &it.value();
            mode = poolMode = striped;
            section = Section::Data;
            // A block without an errors line must not swallow the next one's text.
            inConfig = false;
            return;
        }
        case Label::Scan:
            if (!inConfig) {
                scanFrom = label.value.data();
                scanTo = scanFrom + label.value.size();
            }
            return;
        case Label::Config:
            inConfig = true;
            return;
        case Label::Errors: {
            endRows();
            const auto errors = dataErrors(label.value);
            for (RaidInfo* r : *targets) {
                r->RaidMode = poolMode;
                // A running scan's line has no error count; this is the count so far.
                if (r->scan && r->scan->state == RaidScan::State::InProgress && !r->scan->errors)
                    r->scan->errors = errors;
            }
            inConfig = false;
            return;
        }
        default:
            return;
        }
        if (!inConfig || ZpoolText::isPoolsOwnLine(line, poolBytes))
            return;
        const Fields f = splitFields(line, textEnd);
        if (f.size() >= 2 && same(f[0], "NAME") && same(f[1], "STATE"))
            return;  // the block's column header

        if (f.size() == 1) {
            // Log, cache and spare devices are not part of the pool's layout.
            const Bytes h = f[0];
            if (same(h, "spares")) {
                section = Section::Spares;
                mode = striped;
            } else if (same(h, "logs") || same(h, "cache") || same(h, "special") || same(h, "dedup")) {
                section = Section::Aux;
                mode = striped;
            }
            return;
        }
        // Spare lines read "disk9 AVAIL" or "disk9 INUSE currently in use": no counters.
        if (f.size() < 5 || section == Section::Spares)
            return;

        const Bytes g0 = f[0];
        const bool raidz = startsWith(g0, "raidz");
        if (raidz && startsWith(g0, "raidz1-"))
            mode = QStringLiteral("RaidZ");
        else if (raidz && startsWith(g0, "raidz2-"))
            mode = QStringLiteral("RaidZ2");
        else if (startsWith(g0, "mirror-"))
            mode = QStringLiteral("Mirror");
        if (section == Section::Data)
            poolMode = mode;

        // RAID-Z group lines set the mode but are not members.
        if (raidz || targets->isEmpty())
            return;

        auto row = std::make_shared<RaidStatus>();
        row->mountOn = pool;
        row->raidMode = mode;
        row->DiskName = ZpoolText::decode(g0);
        row->State = state(f[1]);
        row->Read = read(f[2]);
        row->Write = write(f[3]);
        row->CKSum = cksum(f[4]);
        QString others;
        for (qsizetype i = 5; i < f.size(); ++i) {
            others += ZpoolText::decode(f[i]);
            others += u' ';
        }
        row->Others = others;
        rows.append(std::move(row));
    });
    endScan();
    endRows();
    return true;
}
