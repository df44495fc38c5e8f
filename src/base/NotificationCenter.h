#pragma once
#include <QMap>
#include <QMutex>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

using UserInfo = QMap<QString, QString>;

struct Notification {
    QString name;
    const void* sender = nullptr;
    UserInfo userInfo;
};

// Process-wide, synchronous notification centre. A post calls every matching
// observer on the posting thread before it returns; observers may post again.
// Registration and posting are safe from any thread.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;
    using ObserverId = quint64;

    // The process-wide centre; a test or a headless run may make its own.
    static NotificationCenter& defaultCenter();

    // sender == nullptr observes the name from any sender.
    ObserverId addObserver(const QString& name, const void* sender, Handler handler);
    // Later posts skip the observer; a post already under way may still call it.
    void removeObserver(ObserverId id);

    // Calls every observer of the name (and of this sender) before it returns.
    void post(const QString& name, const void* sender = nullptr, const UserInfo& userInfo = {});

private:
    struct Observer {
        ObserverId id;
        QString name;
        const void* sender;
        std::shared_ptr<Handler> handler;
    };
    QMutex mutex_;
    std::vector<Observer> observers_;
    ObserverId nextId_ = 1;
};
