#pragma once
#include <QString>

// The text rule for places a user's volume may live; the helper's live
// checks walk such a place on descriptors after it passes this.
namespace HelperPolicy {
// An absolute, normalised path outside the system's own directories and not
// "/": a place where a user's volume may live (/tank, /media/u/x, /mnt/x).
bool isVolumePath(const QString& path);
}  // namespace HelperPolicy
