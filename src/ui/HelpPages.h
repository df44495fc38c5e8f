#pragma once
#include <QString>
#include <QUrl>

// Where the user guide and the OpenZFS install instructions live.
namespace HelpPages {
// The shipped guide: the installed copy, else the source tree's copy found by
// walking up from the program's folder (a build tree). Empty when neither.
QString locateGuide(const QString& installedDocDir, const QString& programDir);
QUrl guideUrl();
QUrl openZFSInstallUrl();
}  // namespace HelpPages
