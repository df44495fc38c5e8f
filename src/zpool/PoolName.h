#pragma once
#include <QString>

namespace PoolName {
// Whether a typed name can only ever name a pool, never a path elsewhere:
// not empty, no slash, no NUL, not "." or "..". Used before anything is run
// with administrator rights on a path derived from the name.
bool isSafe(const QString& name);

// Why ZFS would refuse `name` as a pool name, in a sentence for the user;
// empty when it is a valid name. A name that starts with "-" would be read
// as an option, so this stands before every tool run with a typed name.
QString problem(const QString& name);
}  // namespace PoolName
