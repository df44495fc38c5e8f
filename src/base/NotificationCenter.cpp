#include "base/NotificationCenter.h"

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(const QString& name, const void* sender,
                                                               Handler handler)
{
    QMutexLocker lock(&mutex_);
    const ObserverId id = nextId_++;
    observers_.push_back({id, name, sender, std::make_shared<Handler>(std::move(handler))});
    return id;
}

void NotificationCenter::removeObserver(ObserverId id)
{
    QMutexLocker lock(&mutex_);
    std::erase_if(observers_, [id](const Observer& o) { return o.id == id; });
}

void NotificationCenter::post(const QString& name, const void* sender, const UserInfo& userInfo)
{
    // Handlers run without the lock held, so they may post or register again.
    std::vector<std::shared_ptr<Handler>> matching;
    {
        QMutexLocker lock(&mutex_);
        for (const Observer& o : observers_) {
            if (o.name == name && (o.sender == nullptr || o.sender == sender))
                matching.push_back(o.handler);
        }
    }
    const Notification note{name, sender, userInfo};
    for (const auto& h : matching)
        (*h)(note);
}
