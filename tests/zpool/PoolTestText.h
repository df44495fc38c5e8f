#pragma once
// Compact one-line pictures of pool records, so tables of expectations read
// like the tool's output. Absent fields show as "-".
#include "zpool/RaidInfo.h"

#include <QFile>
#include <QString>

#include <string>
#include <vector>

namespace PoolTestText {

inline QString opt(const std::optional<QString>& s) { return s ? *s : QStringLiteral("-"); }
inline std::string row(const QStringList& fields) { return fields.join(u'|').toStdString(); }

// "name mode size alloc free cap health"
inline std::string pool(const RaidInfo& r)
{
    return row({opt(r.Name), opt(r.RaidMode), opt(r.Size), opt(r.Alloc), opt(r.Free), opt(r.Capacity), opt(r.Health)});
}

// "disk state read write cksum [others] mode pool"
inline std::string member(const RaidStatus& s)
{
    return row({opt(s.DiskName), opt(s.State), opt(s.Read), opt(s.Write), opt(s.CKSum), u'[' + opt(s.Others) + u']',
                opt(s.raidMode), opt(s.mountOn)});
}

// "kind|state|percent|left|took|repaired|errors|ended", "None" or "Unknown: words"
inline std::string scan(const RaidScan& s)
{
    using S = RaidScan::State;
    if (s.state == S::None || s.state == S::Unknown)
        return s.state == S::None ? "None" : ("Unknown: " + s.text).toStdString();
    auto n = [](const auto& v) { return v ? QString::number(*v) : QStringLiteral("-"); };
    const char* kinds[] = {"?", "Scrub", "Resilver"};
    const char* states[] = {"", "Running", "Finished", "Canceled"};
    return row({kinds[int(s.kind)], s.paused ? "Paused" : states[int(s.state)], n(s.percentDone), n(s.secondsLeft),
                n(s.seconds), opt(s.processed), n(s.errors), s.ended().isValid() ? s.ended().toString(Qt::ISODate) : "-"});
}

// Each pool followed by its members, indented; a member's mode and pool are
// left out where they are its pool's, and then no errors and no other text.
inline std::vector<std::string> poolsWithMembers(const RaidList& list)
{
    std::vector<std::string> out;
    for (const RaidInfoPtr& r : list) {
        out.push_back(pool(*r));
        for (const RaidStatusPtr& s : r->Status) {
            std::string m = member(*s);
            const std::string own = QStringLiteral("|%1|%2").arg(opt(r->RaidMode), opt(r->Name)).toStdString();
            if (m.ends_with(own))
                m.resize(m.size() - own.size());
            if (m.ends_with("|0|0|0|[]"))
                m.resize(m.size() - 9);
            out.push_back("  " + m);
        }
    }
    return out;
}

inline QString dataFile(const QString& name)
{
    QFile f(QStringLiteral(TARNWELL_TEST_DATA "/zpool/") + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : "<missing test file " + name + ">";
}

}  // namespace PoolTestText
