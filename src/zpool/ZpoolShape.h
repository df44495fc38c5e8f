#pragma once
#include <QMap>
#include <QString>

// What one zpool subcommand may be given, as tarnwell-helper holds a request
// to it: a unit states it once, beside the argument list it builds.
struct ZpoolShape {
    // What follows an option: nothing, or a value the helper checks by kind.
    enum class Value { None, Property, MountPoint, AltRoot };

    QString subcommand;
    QMap<QString, Value> options;  // any other option is refused
    qsizetype minOperands = 0;
    qsizetype maxOperands = 0;      // -1: any number
    bool devicesAfterPool = false;  // else every operand names a pool
};

// What a run without a parser gives back: zpool's standard output as the
// runner returned it ("Canceled" when the authorization was dismissed).
using ZpoolOutput = QString;
