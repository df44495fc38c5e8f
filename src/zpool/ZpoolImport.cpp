#include "zpool/ZpoolImport.h"

namespace {
const QString Subcommand = QStringLiteral("import");
}

QStringList ZpoolImport::arguments(const QString& pool)
{
    return {Subcommand, pool};
}

const ZpoolShape& ZpoolImport::shape()
{
    static const ZpoolShape s{Subcommand, {}, 1, 1, false};
    return s;
}
