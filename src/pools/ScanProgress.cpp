#include "pools/ScanProgress.h"

#include <QLocale>

namespace {

bool imported(const RaidInfo& pool)
{
    return pool.Name && pool.Health && !pool.Health->endsWith(QLatin1String("EJECTED")) && pool.scan;
}

bool running(const RaidScan& s)
{
    return s.state == RaidScan::State::InProgress;
}

QString duration(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("less than a minute");
    const qint64 minutes = (seconds + 30) / 60;
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

QString errors(std::optional<qint64> n, bool soFar)
{
    if (!n)
        return QString();
    const QString tail = soFar ? QStringLiteral(" so far") : QString();
    if (*n == 0)
        return QStringLiteral("no errors") + tail;
    return (*n == 1 ? QStringLiteral("1 error") : QStringLiteral("%1 errors").arg(*n)) + tail;
}

}  // namespace

QString ScanProgress::text(const RaidInfo& pool)
{
    if (!imported(pool))
        return QString();
    const RaidScan& s = *pool.scan;
    const bool resilver = s.kind == RaidScan::Kind::Resilver;
    switch (s.state) {
    case RaidScan::State::None:
        return QStringLiteral("Never verified");
    case RaidScan::State::Unknown:
        // A layout we cannot read: say what zpool said rather than guess.
        return QStringLiteral("Progress unknown: %1").arg(s.text);
    case RaidScan::State::InProgress: {
        QStringList parts;
        if (s.percentDone)
            parts << QStringLiteral("%1% done").arg(QLocale::c().toString(*s.percentDone, 'f', 1));
        else
            parts << QStringLiteral("progress unknown");
        if (s.paused)
            parts << QStringLiteral("paused");
        else if (s.secondsLeft)
            parts << QStringLiteral("%1 left").arg(duration(*s.secondsLeft));
        if (const QString e = errors(s.errors, true); !e.isEmpty())
            parts << e;
        return (resilver ? QStringLiteral("Rebuilding (resilver): ") : QStringLiteral("Verifying: ")) +
               parts.join(QStringLiteral(", "));
    }
    case RaidScan::State::Finished:
    case RaidScan::State::Canceled: {
        const bool stopped = s.state == RaidScan::State::Canceled;
        QString head = resilver ? (stopped ? QStringLiteral("Last rebuild stopped") : QStringLiteral("Last rebuilt"))
                                : (stopped ? QStringLiteral("Last verify stopped") : QStringLiteral("Last verified"));
        if (s.ended().isValid())
            head += QStringLiteral(" on ") + QLocale::c().toString(s.ended(), QStringLiteral("d MMM yyyy HH:mm"));
        const QString e = stopped ? QString() : errors(s.errors, false);
        return e.isEmpty() ? head : head + QStringLiteral(": ") + e;
    }
    }
    return QString();
}

std::optional<double> ScanProgress::percent(const RaidInfo& pool)
{
    if (!imported(pool) || !running(*pool.scan))
        return std::nullopt;
    return pool.scan->percentDone;
}

ScanProgress::VerifyButton ScanProgress::verifyButton(const RaidInfo* pool)
{
    if (!pool || !pool->Name || !pool->Health || pool->Health->endsWith(QLatin1String("EJECTED")))
        return {};
    if (pool->scan && running(*pool->scan)) {
        // zpool stops a scrub, not a resilver.
        if (pool->scan->kind == RaidScan::Kind::Resilver)
            return {};
        return {true, true};
    }
    return {true, false};
}
