// Stands in for the desktop's notification service on a private session bus:
// appends each Notify call to the file named first as a line
// "summary|body|actions", then clicks it (ActionInvoked "default"); says "ready" once it holds the
// service's name.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QTimer>

#include <cstdio>

class StandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit StandIn(QString file) : file_(std::move(file)) {}

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int)
    {
        QFile f(file_);
        if (f.open(QIODevice::Append))
            f.write((summary + '|' + body + '|' + actions.join(',') + '\n').toUtf8());
        const uint id = ++last_;
        QTimer::singleShot(500, this, [id] {
            QDBusConnection::sessionBus().send(QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                                                          "org.freedesktop.Notifications",
                                                                          "ActionInvoked")
                                               << id << QStringLiteral("default"));
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
