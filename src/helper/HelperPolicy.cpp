#include "helper/HelperPolicy.h"

#include <QDir>
#include <QSet>

namespace {
bool hasControlCharacters(const QString& s)
{
    for (const QChar c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}
}  // namespace

bool HelperPolicy::isVolumePath(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')) || path == QLatin1String("/") ||
        hasControlCharacters(path) || QDir::cleanPath(path) != path ||
        path.split(QLatin1Char('/')).contains(QLatin1String("..")))
        return false;
    const QStringList parts = path.mid(1).split(QLatin1Char('/'));
    const QString top = parts.first();
    // Where the system lives; only a user's own places below some of them.
    static const QSet<QString> system = {
        "bin",  "boot", "dev", "etc", "lib", "lib32", "lib64", "libx32", "opt",       "proc",
        "root", "sbin", "srv", "sys", "tmp", "usr",   "var",   "snap",   "lost+found"};
    if (system.contains(top))
        return false;
    if (top == QLatin1String("run"))
        return parts.size() >= 4 && parts[1] == QLatin1String("media");  // /run/media/<user>/<vol>
    if (top == QLatin1String("home") || top == QLatin1String("media") ||
        top == QLatin1String("mnt") || top == QLatin1String("Volumes"))
        return parts.size() >= 2;
    return true;
}
