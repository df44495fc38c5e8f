// Stands in for the desktop's notification service on a private session bus:
// appends each Notify call to the file named first, one JSON object a line,
// then clicks it (ActionInvoked "default"); says "ready" once it holds the
// service's name.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QVariantMap>

#include <cstdio>

class StandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit StandIn(QString file) : file_(std::move(file)) {}

public slots:
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int)
    {
        QFile f(file_);
        if (f.open(QIODevice::Append)) {
            const QJsonObject o{{"app", app}, {"icon", icon}, {"summary", summary}, {"body", body},
                                {"actions", QJsonValue::fromVariant(actions)}};
            f.write(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
        }
        const uint id = ++last_;
        QTimer::singleShot(500, this, [id] {
            QDBusMessage click = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                            QStringLiteral("org.freedesktop.Notifications"),
                                                            QStringLiteral("ActionInvoked"));
            click << id << QStringLiteral("default");
            QDBusConnection::sessionBus().send(click);
        });
        return id;
    }
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }

private:
    QString file_;
    uint last_ = 0;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    StandIn standIn(QString::fromLocal8Bit(argv[1]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &standIn,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications")))
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}

#include "NotificationStandIn.moc"
