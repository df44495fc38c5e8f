#include "zpool/ZpoolImportScan.h"

#include "base/Log.h"
#include "zpool/ZpoolText.h"

using ZpoolText::Bytes;
using ZpoolText::Fields;
using ZpoolText::Label;
using ZpoolText::splitFields;

namespace {
const QString Subcommand = QStringLiteral("import");
constexpr char kNoImport[] = "no pools available to import";

bool isOneOf(Bytes word, std::initializer_list<Bytes> words)
{
    for (Bytes w : words) {
        if (ZpoolText::same(word, w))
            return true;
    }
    return false;
}

// A group line's name: mirror-0, replacing-1, spare-2, raidz2-0, draid1:4d:8c:1s-0.
bool isGroupName(Bytes name)
{
    const qsizetype dash = name.lastIndexOf('-');
    if (dash <= 0 || dash + 1 == name.size())
        return false;
    for (char c : name.sliced(dash + 1)) {
        if (c < '0' || c > '9')
            return false;
    }
    Bytes kind = name.first(dash);
    if (isOneOf(kind, {"mirror", "replacing", "spare", "raidz", "raidz1", "raidz2", "raidz3"}))
        return true;
    if (!kind.startsWith("draid"))
        return false;
    kind = kind.sliced(5);
    if (!kind.isEmpty() && kind[0] >= '1' && kind[0] <= '3')
        kind = kind.sliced(1);
    if (kind.isEmpty())
        return true;
    if (kind[0] != ':')
        return false;
    for (char c : kind) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == ':'))
            return false;
    }
    return true;
}

// A device line of an import scan's configuration: a name and its state, or
// a spare's bare name. Group lines (raidz1-0, mirror-0) and section words
// (logs, spares) are not devices.
bool isImportDeviceLine(const Fields& f)
{
    if (f.isEmpty() ||
        (f.size() > 1 && !isOneOf(f[1], {"ONLINE", "DEGRADED", "FAULTED", "OFFLINE", "UNAVAIL", "REMOVED",
                                         "AVAIL", "INUSE"})))
        return false;
    return !isOneOf(f[0], {"logs", "cache", "spares", "special", "dedup"}) && !isGroupName(f[0]);
}
}  // namespace

QStringList ZpoolImportScan::arguments()
{
    return {Subcommand};
}

void ZpoolImportScan::ShowUnimportRAID(const QString& text, Result& pools)
{
    ShowUnimportRAID(ZpoolText::bytesOf(text), pools);
}

void ZpoolImportScan::ShowUnimportRAID(const QByteArray& text, Result& pools)
{
    if (ZpoolText::contains(text, kNoImport, 'v')) {
        Log::write(QString::fromLatin1(kNoImport));
        return;
    }

    const char* const textEnd = text.constData() + text.size();
    Bytes pool;
    qsizetype poolFields = 0;  // a name with blanks in it spans several fields
    bool inConfig = false;
    RaidInfo* current = nullptr;  // the pool whose device lines follow
    QStringList disks;            // its devices, handed over in one piece
    auto endDisks = [&] {
        if (current && !disks.isEmpty()) {
            current->ejectedDisks = disks;
            const qsizetype count = disks.size();
            disks = QStringList();
            disks.reserve(count);
        }
    };
    ZpoolText::forEachLine(text, [&](Bytes line) {
        if (line.isEmpty())
            return;
        const ZpoolText::LabelLine label = ZpoolText::labelOf(line);
        switch (label.label) {
        case Label::None:
            break;
        case Label::Pool:
            endDisks();
            pool = label.value;
            poolFields = splitFields(pool).size();
            current = nullptr;
            return;
        case Label::Config:
            inConfig = true;
            return;
        default:
            return;
        }
        if (current) {
            const Fields f = splitFields(line, textEnd);
            if (isImportDeviceLine(f))
                disks << ZpoolText::decode(f[0]);
            return;
        }
        if (!inConfig || !ZpoolText::isPoolsOwnLine(line, pool))
            return;
        // The state is the field right after the name.
        const Fields f = splitFields(line, textEnd);
        if (f.size() <= poolFields)
            return;
        const Bytes state = f[poolFields];

        auto info = std::make_shared<RaidInfo>();
        info->Name = ZpoolText::decode(pool);
        if (state == "ONLINE")
            info->Health = QStringLiteral("EJECTED");
        else if (state == "DEGRADED")
            info->Health = QStringLiteral("DEGRADED EJECTED");
        else
            info->Health = ZpoolText::decode(state);
        current = info.get();
        pools.append(std::move(info));
        inConfig = false;
    });
    endDisks();
}
