#include "zpool/ZpoolImport.h"

namespace {
const QString Subcommand = QStringLiteral("import");
}

QStringList ZpoolImport::arguments(const QString& pool)
{
    return {Subcommand, pool};
}

QStringList ZpoolImport::confinedArguments(const QString& pool, const QString& altroot)
{
    return {Subcommand, QStringLiteral("-o"), ConfinedMountOptions, QStringLiteral("-R"), altroot, pool};
}
