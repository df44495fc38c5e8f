#include "pools/SerialWorker.h"

#include <QThread>

#include <algorithm>

SerialWorker::SerialWorker(QObject* parent) : QObject(parent), thread_([this] { loop(); }) {}

SerialWorker::~SerialWorker()
{
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void SerialWorker::run(QObject* owner, const QString& what, std::function<void()> work, std::function<void()> done)
{
    enqueue(owner, what, [work = std::move(work), done = std::move(done)]() -> std::function<void()> {
        work();
        return done;
    });
}

void SerialWorker::enqueue(QObject* owner, const QString& what, Job job)
{
    Q_ASSERT(QThread::currentThread() == thread());
    quint64 id;
    {
        std::lock_guard lock(mutex_);
        id = nextId_++;
        queue_.push_back({id, owner, std::move(job)});
    }
    changed_.notify_all();
    const bool wasBusy = isBusy();
    pending_.push_back({id, owner, what});
    if (!wasBusy && isBusy())
        emit busyChanged(true, task());
}

void SerialWorker::loop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_)
            return;
        Queued next = std::move(queue_.front());
        queue_.pop_front();
        running_ = next.owner;
        lock.unlock();
        std::function<void()> deliver = next.job();
        lock.lock();
        running_ = nullptr;
        changed_.notify_all();
        // Queued after whatever the job itself posted to this thread.
        QMetaObject::invokeMethod(
            this, [this, id = next.id, deliver] { finished(id, deliver); }, Qt::QueuedConnection);
    }
}

void SerialWorker::finished(quint64 id, const std::function<void()>& deliver)
{
    const auto it = std::find_if(pending_.begin(), pending_.end(), [id](const Pending& p) { return p.id == id; });
    if (it == pending_.end())
        return;  // its owner was forgotten
    const QPointer<QObject> owner = it->owner;
    pending_.erase(it);
    if (owner && deliver)
        deliver();
    emit busyChanged(isBusy(), task());
}

bool SerialWorker::isBusy() const
{
    return std::any_of(pending_.begin(), pending_.end(), [](const Pending& p) { return !p.what.isEmpty(); });
}

QString SerialWorker::task() const
{
    const auto it = std::find_if(pending_.begin(), pending_.end(), [](const Pending& p) { return !p.what.isEmpty(); });
    return it == pending_.end() ? QString() : it->what;
}

void SerialWorker::forget(QObject* owner)
{
    {
        std::unique_lock lock(mutex_);
        std::erase_if(queue_, [owner](const Queued& q) { return q.owner == owner; });
        changed_.wait(lock, [this, owner] { return running_ != owner; });
    }
    const auto before = pending_.size();
    std::erase_if(pending_, [owner](const Pending& p) { return p.owner == owner; });
    if (pending_.size() != before)
        emit busyChanged(isBusy(), task());
}
