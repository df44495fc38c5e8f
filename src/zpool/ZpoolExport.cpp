#include "zpool/ZpoolExport.h"

namespace {
const QString Subcommand = QStringLiteral("export");
}

QStringList ZpoolExport::arguments(const QString& pool)
{
    return {Subcommand, pool};
}
