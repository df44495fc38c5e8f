#pragma once
#include "pools/HealthWatch.h"
#include "zpool/RaidInfo.h"

#include <QObject>
#include <QTimer>

class DesktopNotifier;
class RaidTableViewController;

// Keeps an eye on the pools while Tarnwell runs: every interval, and soon
// after a hot-plug or volume event, the pool view reads them again (on the
// worker, as the user); each list it shows is compared with the one before,
// and what changed is shown in the view and told as a desktop notification.
class PoolWatch : public QObject {
    Q_OBJECT
public:
    PoolWatch(RaidTableViewController& pools, DesktopNotifier& notifier, QObject* parent = nullptr);

    // Seconds between reads, kept in the settings.
    static int storedInterval();
    static void storeInterval(int seconds);
    int interval() const { return interval_; }
    void setInterval(int seconds);

    // A device or volume changed: read again shortly, once the change settles.
    void checkSoon();

signals:
    // After each list compared, with what changed (often nothing).
    void compared(const QList<HealthWatch::Change>& changes);

private:
    void check();
    void shown(const RaidListPtr& list);
    void schedule();

    RaidTableViewController& pools_;
    DesktopNotifier& notifier_;
    QTimer timer_;
    QTimer soon_;
    int interval_;
    bool reading_ = false;  // a read of ours is queued or running
    RaidListPtr last_;
    bool scanning_ = false;
};
