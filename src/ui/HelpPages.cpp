#include "ui/HelpPages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString guideRelative = QStringLiteral("docs/guide/index.html");

// A build tree remembers its source tree in CMakeCache.txt.
QString sourceDirOfBuildTree(const QDir& dir)
{
    QFile cache(dir.filePath(QStringLiteral("CMakeCache.txt")));
    if (!cache.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    while (!cache.atEnd()) {
        const QString line = QString::fromUtf8(cache.readLine()).trimmed();
        if (line.startsWith(QLatin1String("CMAKE_HOME_DIRECTORY:")))
            return line.section(QLatin1Char('='), 1);
    }
    return QString();
}
}  // namespace

QString HelpPages::locateGuide(const QString& installedDocDir, const QString& programDir)
{
    const QString installed = installedDocDir + QStringLiteral("/guide/index.html");
    if (QFileInfo::exists(installed))
        return installed;
    QDir dir(programDir);
    for (int level = 0; level < 4; ++level) {
        const QString here = dir.filePath(guideRelative);
        if (QFileInfo::exists(here))
            return QFileInfo(here).absoluteFilePath();
        const QString source = sourceDirOfBuildTree(dir);
        if (!source.isEmpty() && QFileInfo::exists(QDir(source).filePath(guideRelative)))
            return QFileInfo(QDir(source).filePath(guideRelative)).absoluteFilePath();
        if (!dir.cdUp())
            break;
    }
    return QString();
}

QUrl HelpPages::guideUrl()
{
    const QString path =
        locateGuide(QStringLiteral(TARNWELL_DOC_INSTALLED), QCoreApplication::applicationDirPath());
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
}

QUrl HelpPages::openZFSInstallUrl()
{
#ifdef Q_OS_MACOS
    return QUrl(QStringLiteral("https://openzfsonosx.org/wiki/Downloads"));
#else
    return QUrl(QStringLiteral("https://openzfs.github.io/openzfs-docs/Getting%20Started/index.html"));
#endif
}
