#pragma once
#include <QHash>
#include <QObject>
#include <QString>

// Desktop notifications through the freedesktop notification service on the
// session bus. Without a bus or a service it only logs: the window is still
// there to tell the user.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject* parent = nullptr);

    // Shows summary and body; clicking it reports `pool` through activated().
    // Returns at once; the service answers later.
    void notify(const QString& pool, const QString& summary, const QString& body, bool urgent);

signals:
    // The user clicked the notification that was about this pool.
    void activated(const QString& pool);

private slots:
    void actionInvoked(uint id, const QString& action);
    void closed(uint id, uint reason);

private:
    bool connected_ = false;
    QHash<uint, QString> pools_;  // notification id -> its pool, until it closes
};
