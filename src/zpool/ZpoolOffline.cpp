#include "zpool/ZpoolOffline.h"

namespace {
const QString Subcommand = QStringLiteral("offline");
}

QStringList ZpoolOffline::arguments(const QString& pool, const QString& device)
{
    return {Subcommand, pool, device};
}

const ZpoolShape& ZpoolOffline::shape()
{
    static const ZpoolShape s{Subcommand, {}, 2, -1, true};
    return s;
}
