#pragma once
#include "devices/DiskEjector.h"

#include <QMutex>
#include <QStringList>

#include <functional>

// Records every eject instead of unmounting anything; safe from any thread.
class RecordingEjector : public DiskEjector {
public:
    QString eject(const QString& devPath) override
    {
        if (onEject)
            onEject(devPath);
        QMutexLocker l(&mutex_);
        ejected_ << devPath;
        return QStringLiteral("ejected ") + devPath;
    }
    QStringList calls() const { QMutexLocker l(&mutex_); return ejected_; }
    void clear() { QMutexLocker l(&mutex_); ejected_.clear(); }
    std::function<void(const QString&)> onEject;

private:
    mutable QMutex mutex_;
    QStringList ejected_;
};
