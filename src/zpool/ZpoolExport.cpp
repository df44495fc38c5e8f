#include "zpool/ZpoolExport.h"

namespace {
const QString Subcommand = QStringLiteral("export");
}

QStringList ZpoolExport::arguments(const QString& pool)
{
    return {Subcommand, pool};
}

const ZpoolShape& ZpoolExport::shape()
{
    static const ZpoolShape s{Subcommand, {}, 1, 1, false};
    return s;
}
