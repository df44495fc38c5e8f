#pragma once
#include "app/NotificationCenter.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>

// Runs zpool for a verb ("LIST", "EJECT", ...) and posts "ZpoolCMDFinish"
// {CMD, isRoot} after every run of a known verb, on the running thread.
class ZpoolCMD {
public:
    struct Row {
        QStringList arguments;
        bool isRoot = false;
    };
    // The argument list and rights of a verb, or nullopt for an unknown verb.
    static std::optional<Row> rowFor(const QString& verb, const QString& pool, const QString& disk1,
                                     const QString& disk2);

    explicit ZpoolCMD(NotificationCenter& center = NotificationCenter::defaultCenter());
    ~ZpoolCMD();

    QString zpoolPath() const;
    void setZpoolPath(const QString& path);

    // Synchronous on the calling thread.
    QString runCMD(const QString& verb, const QString& pool = {}, const QString& disk1 = {},
                   const QString& disk2 = {});
    // Request keys: CMD, PoolName, Disk1, Disk2.
    void startThread(const UserInfo& request);
    void stopThread();
    // Waits for every thread this worker started (tests, shutdown).
    void waitForThreads();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
