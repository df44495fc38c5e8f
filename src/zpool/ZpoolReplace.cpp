#include "zpool/ZpoolReplace.h"

namespace {
const QString Subcommand = QStringLiteral("replace");
}

QStringList ZpoolReplace::arguments(const QString& pool, const QString& oldDevice, const QString& newDevice)
{
    return {Subcommand, QStringLiteral("-f"), pool, oldDevice, newDevice};
}
