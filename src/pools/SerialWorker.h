#pragma once
#include <QObject>
#include <QPointer>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Runs the tool work of the windows off the GUI thread: one job at a time,
// in the order given, on one thread of its own, each result handed back to
// the thread the worker lives on through its event loop. One worker serves
// every window, so two verbs never run at once.
class SerialWorker : public QObject {
    Q_OBJECT
public:
    explicit SerialWorker(QObject* parent = nullptr);
    // Lets the running job finish; jobs not begun are dropped.
    ~SerialWorker() override;

    // Call on the worker's own thread. `work` runs on the worker thread;
    // `done` then gets its result on this thread, unless `owner` is gone by
    // then. `what` says what the job does while it waits or runs; a job
    // without one (a background read) never makes the worker busy.
    template <class R>
    void run(QObject* owner, const QString& what, std::function<R()> work, std::function<void(R)> done)
    {
        enqueue(owner, what, [work = std::move(work), done = std::move(done)]() -> std::function<void()> {
            auto result = std::make_shared<R>(work());
            return [done, result] {
                if (done)
                    done(std::move(*result));
            };
        });
    }
    void run(QObject* owner, const QString& what, std::function<void()> work, std::function<void()> done = {});

    // For an owner about to be destroyed: drops its jobs not yet begun and
    // returns once its running job, if any, is over.
    void forget(QObject* owner);

    // A job with a `what` handed in whose result has not been handed back yet.
    bool isBusy() const;
    // What the oldest such job does; "" when idle.
    QString task() const;

signals:
    // On this thread, whenever the busy state or the oldest job changes.
    void busyChanged(bool busy, const QString& task);

private:
    using Job = std::function<std::function<void()>()>;
    struct Queued {
        quint64 id;
        const QObject* owner;
        Job job;
    };
    struct Pending {
        quint64 id;
        QPointer<QObject> owner;
        QString what;
    };
    void enqueue(QObject* owner, const QString& what, Job job);
    void loop();
    void finished(quint64 id, const std::function<void()>& deliver);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Queued> queue_;
    const QObject* running_ = nullptr;  // the owner of the job in progress
    bool stopping_ = false;
    quint64 nextId_ = 0;
    std::deque<Pending> pending_;  // this thread only
    std::thread thread_;
};
