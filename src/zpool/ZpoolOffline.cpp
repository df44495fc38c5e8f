#include "zpool/ZpoolOffline.h"

namespace {
const QString Subcommand = QStringLiteral("offline");
}

QStringList ZpoolOffline::arguments(const QString& pool, const QString& device)
{
    return {Subcommand, pool, device};
}
