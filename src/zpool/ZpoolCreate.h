#pragma once
#include "zpool/ZpoolShape.h"

#include <QString>
#include <QStringList>

// `zpool create [OPTIONS] NAME [raidz|raidz2] DEVICES...`
namespace ZpoolCreate {
using Result = ZpoolOutput;

enum class Layout { Striped, RaidZ, RaidZ2 };

// The options a new pool gets unless the user edits them, as text and as arguments.
inline const QString DefaultOptionsText =
    QStringLiteral("-f -o ashift=13 -O casesensitivity=insensitive -O normalization=formD");
QStringList defaultOptions();

// "raidz" / "raidz2"; empty for a striped pool, which names no vdev type.
QString layoutWord(Layout layout);

// Splits edited options at horizontal white space (tab and every Unicode
// space separator); line breaks stay inside their token. Empty tokens are dropped.
QStringList splitOptionsText(const QString& text);

// "create", the options, the name as one argument, the layout word if any, the devices.
QStringList arguments(const QStringList& options, const QString& name, Layout layout,
                      const QStringList& devices);
const ZpoolShape& shape();
}  // namespace ZpoolCreate
