#include "zpool/ZpoolScrub.h"

namespace {
const QString Subcommand = QStringLiteral("scrub");
const QString Stop = QStringLiteral("-s");
}  // namespace

QStringList ZpoolScrub::arguments(const QString& pool)
{
    return {Subcommand, pool};
}

QStringList ZpoolScrub::stopArguments(const QString& pool)
{
    return {Subcommand, Stop, pool};
}
