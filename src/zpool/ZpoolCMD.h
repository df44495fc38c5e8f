#pragma once
#include "base/NotificationCenter.h"
#include "exec/HelperProtocol.h"
#include "exec/ToolLimits.h"
#include "exec/ToolResult.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// Runs zpool for a verb ("LIST", "EJECT", ...) and posts "ZpoolCMDFinish"
// {CMD, isRoot} after every run of a known verb, on the running thread.
class ZpoolCMD {
public:
    struct Row {
        QStringList arguments;
        bool isRoot = false;
        ToolLimits::Kind kind = ToolLimits::Kind::Change;
        HelperRequest operation;  // what the privileged helper is asked for, when isRoot
    };
    // The argument list and rights of a verb, or nullopt for an unknown verb.
    static std::optional<Row> rowFor(const QString& verb, const QString& pool, const QString& disk1,
                                     const QString& disk2);

    explicit ZpoolCMD(NotificationCenter& center = NotificationCenter::defaultCenter());
    ~ZpoolCMD();

    QString zpoolPath() const;
    void setZpoolPath(const QString& path);

    // Synchronous on the calling thread: the whole outcome. A user verb's
    // output holds both streams, an administrator verb's keeps them apart.
    // An unknown verb runs nothing and posts nothing.
    ToolResult run(const QString& verb, const QString& pool = {}, const QString& disk1 = {},
                   const QString& disk2 = {});
    // The same as text: what the runner returned, "Canceled" for a dismissed
    // authorization, "" for an unknown verb.
    QString runCMD(const QString& verb, const QString& pool = {}, const QString& disk1 = {},
                   const QString& disk2 = {});
    // Runs the request (keys CMD, PoolName, Disk1, Disk2) on a new thread and
    // returns at once. Threaded verbs run one at a time, in the order they
    // were started; a newer request cancels an older one that has not begun.
    void startThread(const UserInfo& request);
    void stopThread();
    // Waits for every thread this worker started (tests, shutdown). The
    // destructor does the same, so a handler of "ZpoolCMDFinish" must not
    // block on the thread that destroys the worker.
    void waitForThreads();

    // Test seam: each worker thread calls hook(false) first, before it reads
    // its cancel flag, and hook(true) once it is past that check and will run.
    void setThreadStartHook(std::function<void(bool begun)> hook);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
