#include "app/PoolListing.h"

#include "pools/BayMapping.h"

#include <QList>
#include <QStringList>

#include <algorithm>

namespace {

// zpool's "other" column ends in a blank; nobody wants it in a listing.
std::optional<QString> trimmed(const std::optional<QString>& s)
{
    if (!s)
        return s;
    return s->trimmed();
}

QString cell(const std::optional<QString>& s) { return s && !s->isEmpty() ? *s : QStringLiteral("-"); }

struct Columns {
    QList<qsizetype> width;
    QList<bool> right;

    void fit(const QStringList& row)
    {
        for (qsizetype i = 0; i < row.size(); ++i)
            width[i] = std::max(width[i], row[i].size());
    }
    QString format(const QStringList& row, const QString& indent) const
    {
        QString line = indent;
        for (qsizetype i = 0; i < row.size(); ++i) {
            const bool last = i + 1 == row.size();
            if (i)
                line += QStringLiteral("  ");
            if (right[i])
                line += row[i].rightJustified(width[i]);
            else
                line += last ? row[i] : row[i].leftJustified(width[i]);
        }
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        return line + QLatin1Char('\n');
    }
};

QStringList poolRow(const RaidInfo& p)
{
    return {cell(p.Name), cell(p.RaidMode), cell(p.Size), cell(p.Alloc),
            cell(p.Free), cell(p.Capacity), cell(p.Health)};
}

QStringList memberRow(const RaidStatus& m)
{
    return {cell(m.DiskName), cell(m.State), cell(m.Read), cell(m.Write),
            cell(m.CKSum), cell(m.slotPath), cell(BayMapping::enclosureText(m)),
            trimmed(m.Others).value_or(QString())};
}

// JSON text of one string, or null.
void appendValue(QByteArray& out, const std::optional<QString>& value)
{
    if (!value) {
        out += "null";
        return;
    }
    out += '"';
    for (const QChar c : *value) {
        const char16_t u = c.unicode();
        switch (u) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20)
                out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0')).toLatin1();
            else
                out += QString(c).toUtf8();
        }
    }
    out += '"';
}

void appendObject(QByteArray& out, const QList<std::pair<const char*, std::optional<QString>>>& fields)
{
    out += '{';
    bool first = true;
    for (const auto& [key, value] : fields) {
        if (!first)
            out += ", ";
        first = false;
        out += '"';
        out += key;
        out += "\": ";
        appendValue(out, value);
    }
}

}  // namespace

QString PoolListing::table(const RaidList& pools)
{
    if (pools.isEmpty())
        return QStringLiteral("No pools.\n");
    const QStringList poolHeader = {QStringLiteral("NAME"), QStringLiteral("MODE"), QStringLiteral("SIZE"),
                                    QStringLiteral("ALLOC"), QStringLiteral("FREE"), QStringLiteral("CAP"),
                                    QStringLiteral("HEALTH")};
    const QStringList memberHeader = {QStringLiteral("MEMBER"), QStringLiteral("STATE"), QStringLiteral("READ"),
                                      QStringLiteral("WRITE"), QStringLiteral("CKSUM"), QStringLiteral("BAY"),
                                      QStringLiteral("ENCLOSURE"), QStringLiteral("OTHER")};
    Columns pc{QList<qsizetype>(poolHeader.size(), 0), {false, false, true, true, true, true, false}};
    Columns mc{QList<qsizetype>(memberHeader.size(), 0), {false, false, true, true, true, false, false, false}};
    pc.fit(poolHeader);
    mc.fit(memberHeader);
    for (const RaidInfoPtr& p : pools) {
        pc.fit(poolRow(*p));
        for (const RaidStatusPtr& m : p->Status)
            mc.fit(memberRow(*m));
    }
    const QString indent = QStringLiteral("    ");
    QString out = pc.format(poolHeader, {});
    for (const RaidInfoPtr& p : pools) {
        out += pc.format(poolRow(*p), {});
        if (p->Status.isEmpty())
            continue;
        out += mc.format(memberHeader, indent);
        for (const RaidStatusPtr& m : p->Status)
            out += mc.format(memberRow(*m), indent);
    }
    return out;
}

QByteArray PoolListing::json(const RaidList& pools)
{
    QByteArray out = "[";
    bool firstPool = true;
    for (const RaidInfoPtr& p : pools) {
        out += firstPool ? "\n  " : ",\n  ";
        firstPool = false;
        appendObject(out, {{"name", p->Name}, {"mode", p->RaidMode}, {"size", p->Size}, {"alloc", p->Alloc},
                           {"free", p->Free}, {"capacity", p->Capacity}, {"health", p->Health}});
        out += ", \"members\": [";
        bool firstMember = true;
        for (const RaidStatusPtr& m : p->Status) {
            out += firstMember ? "\n    " : ",\n    ";
            firstMember = false;
            appendObject(out, {{"name", m->DiskName}, {"state", m->State}, {"read", m->Read},
                               {"write", m->Write}, {"cksum", m->CKSum}, {"slot", m->slotPath},
                               {"enclosure", BayMapping::enclosureText(*m)}, {"others", trimmed(m->Others)}});
            out += '}';
        }
        out += firstMember ? "]}" : "\n  ]}";
    }
    out += firstPool ? "]\n" : "\n]\n";
    return out;
}

QByteArray PoolListing::listing(const RaidList& pools, bool ejectedScanned, const QString& note)
{
    QByteArray out = "{\"ejectedScanned\": ";
    out += ejectedScanned ? "true" : "false";
    out += ", \"note\": ";
    appendValue(out, note.isEmpty() ? std::nullopt : std::optional<QString>(note));
    out += ", \"pools\": ";
    QByteArray array = json(pools);
    array.chop(1);  // its newline
    array.replace("\n", "\n  ");
    return out + array + "}\n";
}
