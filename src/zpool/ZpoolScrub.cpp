#include "zpool/ZpoolScrub.h"

QStringList ZpoolScrub::arguments(const QString& pool)
{
    return {QStringLiteral("scrub"), pool};
}

QStringList ZpoolScrub::stopArguments(const QString& pool)
{
    return {QStringLiteral("scrub"), QStringLiteral("-s"), pool};
}
