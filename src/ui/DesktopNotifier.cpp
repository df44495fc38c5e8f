#include "ui/DesktopNotifier.h"

#include "base/Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusMessage>

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
}  // namespace

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    connected_ = bus.isConnected();
    if (!connected_)
        return;
    bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                SLOT(actionInvoked(uint, QString)));
    bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this, SLOT(closed(uint, uint)));
}

void DesktopNotifier::notify(const QString& pool, const QString& summary, const QString& body, bool urgent)
{
    if (!connected_) {
        Log::write(QStringLiteral("No desktop session bus; not shown: %1: %2").arg(summary, body));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    // "default" is the click on the notification itself.
    call << QCoreApplication::applicationName() << uint(0) << QStringLiteral("drive-harddisk") << summary << body
         << QStringList{QStringLiteral("default"), tr("Show %1").arg(pool)}
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("org.tarnwell.Tarnwell")},
                        {QStringLiteral("urgency"), QVariant::fromValue(uchar(urgent ? 2 : 1))}}
         << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, pool, summary, body] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError()) {
            Log::write(QStringLiteral("No notification service (%1); not shown: %2: %3")
                           .arg(reply.error().message(), summary, body));
            return;
        }
        pools_.insert(reply.value(), pool);
    });
}

void DesktopNotifier::actionInvoked(uint id, const QString& action)
{
    if (action == QLatin1String("default") && pools_.contains(id))
        emit activated(pools_.value(id));
}

void DesktopNotifier::closed(uint id, uint)
{
    pools_.remove(id);
}
