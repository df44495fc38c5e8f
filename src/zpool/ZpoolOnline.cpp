#include "zpool/ZpoolOnline.h"

namespace {
const QString Subcommand = QStringLiteral("online");
}

QStringList ZpoolOnline::arguments(const QString& pool, const QString& device)
{
    return {Subcommand, pool, device};
}
