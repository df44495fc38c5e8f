#include "zpool/ZpoolDetach.h"

namespace {
const QString Subcommand = QStringLiteral("detach");
}

QStringList ZpoolDetach::arguments(const QString& pool, const QString& device)
{
    return {Subcommand, pool, device};
}
