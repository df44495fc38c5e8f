#pragma once
#include "zpool/ZpoolOutput.h"

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

// What the privileged helper adds to every create, after the user's options:
// no setuid programs and no device nodes take effect on the new pool.
QStringList confinedOptions();

// The properties a user may give a new pool with -o (pool) or -O (its file
// system); anything else is refused. User properties (with ":") are notes
// zpool keeps and never acts on. mountpoint and altroot are checked as places.
bool isAllowedProperty(const QString& name, bool fileSystem);
}  // namespace ZpoolCreate
