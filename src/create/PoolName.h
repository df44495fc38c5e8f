#pragma once
#include <QString>

namespace PoolName {
// Whether a typed name can only ever name a pool, never a path elsewhere:
// not empty, no slash, no NUL, not "." or "..". Used before anything is run
// with administrator rights on a path derived from the name.
bool isSafe(const QString& name);
}  // namespace PoolName
