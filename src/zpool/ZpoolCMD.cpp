#include "zpool/ZpoolCMD.h"

#include "base/Notifications.h"
#include "exec/RunCMD.h"
#include "zpool/ZpoolDestroy.h"
#include "zpool/ZpoolDetach.h"
#include "zpool/ZpoolExport.h"
#include "zpool/ZpoolImport.h"
#include "zpool/ZpoolImportScan.h"
#include "zpool/ZpoolList.h"
#include "zpool/ZpoolOffline.h"
#include "zpool/ZpoolOnline.h"
#include "zpool/ZpoolReplace.h"
#include "zpool/ZpoolScrub.h"
#include "zpool/ZpoolStatus.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <vector>

std::optional<ZpoolCMD::Row> ZpoolCMD::rowFor(const QString& verb, const QString& pool,
                                              const QString& disk1, const QString& disk2)
{
    // "OFFINE" is the verb's real spelling; "OFFLINE" is no verb.
    if (verb == QLatin1String("LIST"))
        return Row{ZpoolList::arguments(), false, ToolLimits::Kind::Read};
    // The scan reads every disk's label: slow disks make it slow.
    if (verb == QLatin1String("LIST EJECTED"))
        return Row{ZpoolImportScan::arguments(), true};
    if (verb == QLatin1String("STATUS"))
        return Row{ZpoolStatus::arguments(), false, ToolLimits::Kind::Read};
    if (verb == QLatin1String("DELETE"))
        return Row{ZpoolDestroy::arguments(pool), true};
    if (verb == QLatin1String("MOUNT"))
        return Row{ZpoolImport::arguments(pool), true};
    if (verb == QLatin1String("EJECT"))
        return Row{ZpoolExport::arguments(pool), true};
    if (verb == QLatin1String("REPLACE"))
        return Row{ZpoolReplace::arguments(pool, disk1, disk2), true};
    if (verb == QLatin1String("ONLINE"))
        return Row{ZpoolOnline::arguments(pool, disk1), true};
    if (verb == QLatin1String("OFFINE"))
        return Row{ZpoolOffline::arguments(pool, disk1), true};
    if (verb == QLatin1String("DETACH"))
        return Row{ZpoolDetach::arguments(pool, disk1), true};
    if (verb == QLatin1String("VERIFY"))
        return Row{ZpoolScrub::arguments(pool), true};
    if (verb == QLatin1String("STOP VERIFY"))
        return Row{ZpoolScrub::stopArguments(pool), true};
    return std::nullopt;
}

struct ZpoolCMD::Impl {
    explicit Impl(NotificationCenter& c) : center(c) {}

    NotificationCenter& center;

    mutable QMutex pathMutex;
    QString zpoolPath;

    struct Worker {
        QThread* thread;
        std::shared_ptr<std::atomic<bool>> cancelled;
    };
    QMutex workersMutex;
    std::vector<Worker> workers;
    std::shared_ptr<std::atomic<bool>> current;  // the most recent thread's flag
    std::function<void(bool)> startHook;

    // Threaded verbs take turns in the order they were started, so an eject
    // and the refresh it triggers are over before the next verb touches the pools.
    QMutex turnMutex;
    QWaitCondition turnChanged;
    quint64 nextTicket = 0;
    quint64 nowServing = 0;

    void pruneFinished();
};

void ZpoolCMD::Impl::pruneFinished()
{
    std::erase_if(workers, [](const Worker& w) {
        if (!w.thread->isFinished())
            return false;
        w.thread->wait();
        delete w.thread;
        return true;
    });
}

ZpoolCMD::ZpoolCMD(NotificationCenter& center) : d(std::make_unique<Impl>(center)) {}

ZpoolCMD::~ZpoolCMD()
{
    waitForThreads();
}

QString ZpoolCMD::zpoolPath() const
{
    QMutexLocker lock(&d->pathMutex);
    return d->zpoolPath;
}

void ZpoolCMD::setZpoolPath(const QString& path)
{
    QMutexLocker lock(&d->pathMutex);
    d->zpoolPath = path;
}

ToolResult ZpoolCMD::run(const QString& verb, const QString& pool, const QString& disk1, const QString& disk2)
{
    const std::optional<Row> row = rowFor(verb, pool, disk1, disk2);
    if (!row)
        return ToolResult::notStarted(zpoolPath(), {}, QStringLiteral("%1 is no verb").arg(verb));
    const ToolResult result = row->isRoot ? RunCMD::runAsAdmin(zpoolPath(), row->arguments, row->kind)
                                          : RunCMD::run(zpoolPath(), row->arguments, row->kind);
    // Completion, not success: also after a tool error or a cancelled prompt.
    d->center.post(
        Notifications::ZpoolCMDFinish, nullptr,
        {{Notifications::Key::CMD, verb},
         {Notifications::Key::isRoot, row->isRoot ? QStringLiteral("YES") : QStringLiteral("NO")}});
    return result;
}

QString ZpoolCMD::runCMD(const QString& verb, const QString& pool, const QString& disk1,
                         const QString& disk2)
{
    const ToolResult r = run(verb, pool, disk1, disk2);
    if (r.canceled())
        return QStringLiteral("Canceled");
    const bool ranToItsEnd = r.ending == ToolResult::Ending::Exited || r.ending == ToolResult::Ending::Crashed;
    return ranToItsEnd ? r.outputText() : QString();
}

void ZpoolCMD::startThread(const UserInfo& request)
{
    QMutexLocker lock(&d->workersMutex);
    d->pruneFinished();
    if (d->current)
        *d->current = true;

    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    quint64 ticket;
    {
        QMutexLocker turn(&d->turnMutex);
        ticket = d->nextTicket++;
    }
    const std::function<void(bool)> hook = d->startHook;
    QThread* thread = QThread::create([this, request, cancelled, ticket, hook] {
        if (hook)
            hook(false);
        const bool skip = *cancelled;
        if (hook && !skip)
            hook(true);
        {
            QMutexLocker turn(&d->turnMutex);
            while (d->nowServing != ticket)
                d->turnChanged.wait(&d->turnMutex);
        }
        if (!skip) {
            runCMD(request.value(QStringLiteral("CMD")), request.value(QStringLiteral("PoolName")),
                   request.value(QStringLiteral("Disk1")), request.value(QStringLiteral("Disk2")));
        }
        QMutexLocker turn(&d->turnMutex);
        ++d->nowServing;
        d->turnChanged.wakeAll();
    });
    thread->setObjectName(QStringLiteral("ZpoolCMD"));
    d->workers.push_back({thread, cancelled});
    d->current = cancelled;
    thread->start();
}

void ZpoolCMD::stopThread()
{
    QMutexLocker lock(&d->workersMutex);
    if (d->current)
        *d->current = true;
    d->current.reset();
}

void ZpoolCMD::waitForThreads()
{
    std::vector<QThread*> running;
    {
        QMutexLocker lock(&d->workersMutex);
        for (const Impl::Worker& w : d->workers)
            running.push_back(w.thread);
    }
    for (QThread* t : running) {
        if (t != QThread::currentThread())
            t->wait();
    }
    QMutexLocker lock(&d->workersMutex);
    d->pruneFinished();
}

void ZpoolCMD::setThreadStartHook(std::function<void(bool)> hook)
{
    QMutexLocker lock(&d->workersMutex);
    d->startHook = std::move(hook);
}
