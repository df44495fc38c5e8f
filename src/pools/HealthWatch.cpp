#include "pools/HealthWatch.h"

#include "pools/BayMapping.h"
#include "pools/PoolViewRules.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

bool imported(const RaidInfo& pool)
{
    return pool.Name && pool.Health && !pool.Health->endsWith(QLatin1String("EJECTED"));
}

// zpool prints counts as 0, 12, 1.5K or 2M; a count it cannot say is -1.
double count(const std::optional<QString>& text)
{
    if (!text || text->isEmpty())
        return -1;
    QString t = text->trimmed();
    double scale = 1;
    static const QString units = QStringLiteral("KMGTPE");
    const qsizetype unit = units.indexOf(t.back().toUpper());
    if (unit >= 0) {
        scale = std::pow(1000.0, double(unit + 1));
        t.chop(1);
    }
    bool ok = false;
    const double n = t.toDouble(&ok);
    return ok ? n * scale : -1;
}

QString who(const RaidStatus& m, const QString& name)
{
    const QString place = BayMapping::placeText(m);
    return place.isEmpty() ? name : QStringLiteral("%1 in %2").arg(name, place);
}

QString grownErrors(const RaidStatus& was, const RaidStatus& now)
{
    QStringList grew;
    const auto check = [&](const std::optional<QString>& a, const std::optional<QString>& b, const QString& what) {
        const double before = count(a), after = count(b);
        if (after > 0 && after > before)
            grew << QStringLiteral("%1 %2").arg(b->trimmed(), what);
    };
    check(was.Read, now.Read, QStringLiteral("read"));
    check(was.Write, now.Write, QStringLiteral("write"));
    check(was.CKSum, now.CKSum, QStringLiteral("checksum"));
    return grew.isEmpty() ? QString() : QStringLiteral("has %1 errors").arg(grew.join(QStringLiteral(", ")));
}

bool ended(const RaidScan& s)
{
    return s.state == RaidScan::State::Finished || s.state == RaidScan::State::Canceled;
}

QString scanEnd(const RaidScan& s)
{
    const QString what = s.kind == RaidScan::Kind::Resilver ? QStringLiteral("Rebuild (resilver)")
                                                            : QStringLiteral("Verify (scrub)");
    if (s.state == RaidScan::State::Canceled)
        return QStringLiteral("%1 stopped").arg(what);
    if (!s.errors)
        return QStringLiteral("%1 finished").arg(what);
    return *s.errors == 0 ? QStringLiteral("%1 finished with no errors").arg(what)
                          : QStringLiteral("%1 finished with %2 errors").arg(what).arg(*s.errors);
}

}  // namespace

QList<HealthWatch::Change> HealthWatch::changes(const RaidList& before, const RaidList& after)
{
    QHash<QString, const RaidInfo*> old;
    for (const RaidInfoPtr& p : before) {
        if (p && imported(*p))
            old.insert(*p->Name, p.get());
    }
    QList<Change> out;
    for (const RaidInfoPtr& p : after) {
        if (!p || !imported(*p))
            continue;
        const RaidInfo* was = old.value(*p->Name);
        if (!was)
            continue;
        Change c{*p->Name, *p->Health, QStringLiteral("%1 is %2").arg(*p->Name, *p->Health), {}};
        const bool healthChanged = *was->Health != *p->Health;

        QHash<QString, const RaidStatus*> members;
        for (const RaidStatusPtr& m : was->Status) {
            if (m->DiskName)
                members.insert(*m->DiskName, m.get());
        }
        for (const RaidStatusPtr& m : p->Status) {
            // The pool's own line and group lines (raidz1-0) repeat what the disks say.
            if (!m->DiskName || !PoolViewRules::isDeviceRow(*m) || *m->DiskName == *p->Name)
                continue;
            QString name = *m->DiskName;
            const RaidStatus* w = members.value(name);
            // A disk zfs can no longer open is named by a number: "was /dev/disk91".
            static const QRegularExpression former(QStringLiteral("\\bwas \\S*?([^/\\s]+)(\\s|$)"));
            if (const auto match = former.match(m->Others.value_or(QString())); !w && match.hasMatch()) {
                name = match.captured(1);
                w = members.value(name);
            }
            if (!w)
                continue;
            if (w->State != m->State && m->State)
                c.details << QStringLiteral("%1 is %2").arg(who(*m, name), *m->State);
            const QString errors = grownErrors(*w, *m);
            if (!errors.isEmpty())
                c.details << QStringLiteral("%1 %2").arg(who(*m, name), errors);
        }
        if (p->scan && ended(*p->scan) && (!was->scan || was->scan->text != p->scan->text))
            c.details << scanEnd(*p->scan);
        if (healthChanged || !c.details.isEmpty())
            out << c;
    }
    return out;
}

bool HealthWatch::scanning(const RaidList& pools)
{
    return std::any_of(pools.begin(), pools.end(), [](const RaidInfoPtr& p) {
        return p && p->scan && p->scan->state == RaidScan::State::InProgress && !p->scan->paused;
    });
}

int HealthWatch::clampedInterval(int seconds)
{
    return std::clamp(seconds, MinInterval, MaxInterval);
}
