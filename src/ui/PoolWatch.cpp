#include "ui/PoolWatch.h"

#include "base/Log.h"
#include "ui/DesktopNotifier.h"
#include "ui/RaidTableViewController.h"

#include <QPointer>
#include <QSettings>

#include <algorithm>

namespace {
const QString IntervalKey = QStringLiteral("watch/intervalSeconds");
// ~/.config/Tarnwell/Tarnwell.conf
QSettings settings()
{
    return QSettings(QStringLiteral("Tarnwell"), QStringLiteral("Tarnwell"));
}
// While a scrub or resilver runs, its progress is read at least this often.
constexpr int ScanInterval = 5;
// Hot-plug and volume events come in bursts; one read after the last.
constexpr int SettleMs = 1500;
}  // namespace

PoolWatch::PoolWatch(RaidTableViewController& pools, DesktopNotifier& notifier, QObject* parent)
    : QObject(parent), pools_(pools), notifier_(notifier), interval_(storedInterval())
{
    timer_.setSingleShot(true);
    soon_.setSingleShot(true);
    soon_.setInterval(SettleMs);
    connect(&timer_, &QTimer::timeout, this, &PoolWatch::check);
    connect(&soon_, &QTimer::timeout, this, &PoolWatch::check);
    // The view emits while it reloads; compare once it has its selection back.
    connect(&pools_, &RaidTableViewController::poolsShown, this, [this](const RaidListPtr& list) {
        QMetaObject::invokeMethod(this, [this, list] { shown(list); }, Qt::QueuedConnection);
    });
    last_ = pools_.raidList();
    schedule();
}

int PoolWatch::storedInterval()
{
    return HealthWatch::clampedInterval(
        settings().value(IntervalKey, HealthWatch::DefaultInterval).toInt());
}

void PoolWatch::storeInterval(int seconds)
{
    settings().setValue(IntervalKey, HealthWatch::clampedInterval(seconds));
}

void PoolWatch::setInterval(int seconds)
{
    interval_ = HealthWatch::clampedInterval(seconds);
    storeInterval(interval_);
    schedule();
}

void PoolWatch::checkSoon()
{
    soon_.start();
}

void PoolWatch::schedule()
{
    timer_.start(1000 * (scanning_ ? std::min(interval_, ScanInterval) : interval_));
}

void PoolWatch::check()
{
    // A read still waiting behind a long verb is enough; never queue a pile.
    if (reading_) {
        schedule();
        return;
    }
    reading_ = true;
    // Quietly: a read every few seconds during a scan must not blink the buttons.
    pools_.ShowRAIDInfo(
        false,
        [self = QPointer<PoolWatch>(this)] {
            if (!self)
                return;
            self->reading_ = false;
            self->schedule();
        },
        true);
}

void PoolWatch::shown(const RaidListPtr& list)
{
    if (!list)
        return;
    const QList<HealthWatch::Change> changes = last_ ? HealthWatch::changes(*last_, *list)
                                                     : QList<HealthWatch::Change>{};
    last_ = list;
    const bool wasScanning = scanning_;
    scanning_ = HealthWatch::scanning(*list);
    if (scanning_ != wasScanning)
        schedule();
    for (const HealthWatch::Change& c : changes) {
        Log::write(QStringLiteral("Health: %1").arg(c.text()));
        notifier_.notify(c.pool, c.summary, c.details.join(QLatin1Char('\n')), c.health != QLatin1String("ONLINE"));
    }
    if (!changes.isEmpty())
        pools_.showSelectedPoolAgain();
    emit compared(changes);
}
