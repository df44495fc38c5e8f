#include "zpool/ZpoolOnline.h"

namespace {
const QString Subcommand = QStringLiteral("online");
}

QStringList ZpoolOnline::arguments(const QString& pool, const QString& device)
{
    return {Subcommand, pool, device};
}

const ZpoolShape& ZpoolOnline::shape()
{
    static const ZpoolShape s{Subcommand, {}, 2, -1, true};
    return s;
}
