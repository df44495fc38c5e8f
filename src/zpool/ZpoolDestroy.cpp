#include "zpool/ZpoolDestroy.h"

namespace {
const QString Subcommand = QStringLiteral("destroy");
}

QStringList ZpoolDestroy::arguments(const QString& pool)
{
    return {Subcommand, pool};
}
