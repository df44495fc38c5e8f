#pragma once
#include <QString>
#include <QStringList>

// Where this platform keeps what the product touches outside its own tools.
namespace Platform {
// The tool that hands a new pool's mount point to the user.
QString chownPath();
// Login name of the user who runs Tarnwell (not of whoever authorized it).
QString userName();
// That user's primary group, for "user:group" ownership.
QString primaryGroupName();
// Folders under which desktop volumes are mounted, each ending in "/".
QStringList volumeRoots();
}  // namespace Platform
