#pragma once
#include <QString>

// Takes a whole disk away from the desktop before zpool uses it: on Linux,
// every mounted partition of the disk is unmounted. Returns the tools' text.
class DiskEjector {
public:
    virtual ~DiskEjector() = default;
    virtual QString eject(const QString& devPath);
};
