#include "zpool/ZpoolDestroy.h"

namespace {
const QString Subcommand = QStringLiteral("destroy");
}

QStringList ZpoolDestroy::arguments(const QString& pool)
{
    return {Subcommand, pool};
}

const ZpoolShape& ZpoolDestroy::shape()
{
    static const ZpoolShape s{Subcommand, {}, 1, 1, false};
    return s;
}
