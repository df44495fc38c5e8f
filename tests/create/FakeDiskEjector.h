#pragma once
#include "devices/DiskEjector.h"

#include <QStringList>

#include <functional>

// Records every eject instead of unmounting anything.
class FakeDiskEjector : public DiskEjector {
public:
    QString eject(const QString& devPath) override
    {
        if (onEject)
            onEject(devPath);
        ejected << devPath;
        return {};
    }
    QStringList ejected;
    std::function<void(const QString&)> onEject;
};
