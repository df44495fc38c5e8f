#pragma once
#include <QObject>

// Volume mount / unmount / rename events of the desktop.
class VolumeWatch : public QObject {
    Q_OBJECT
public:
    enum class Change { Mounted, Unmounted, Renamed };
    Q_ENUM(Change)
    using QObject::QObject;
    ~VolumeWatch() override = default;
    // Begins emitting volumesChanged; the base class never emits (tests emit it).
    virtual void start() {}

signals:
    void volumesChanged(VolumeWatch::Change change);
};
