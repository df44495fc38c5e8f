#include "zpool/PoolName.h"

#include <QStringList>

namespace {
bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isAllowed(QChar c)
{
    return isAsciiLetter(c) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           QStringLiteral("_-.: ").contains(c);
}
}  // namespace

bool PoolName::isSafe(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

QString PoolName::problem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("The name is empty.");
    if (!isAsciiLetter(name.front()))
        return QStringLiteral("The name must start with a letter (a to z or A to Z).");
    for (const QChar c : name) {
        if (!isAllowed(c))
            return QStringLiteral("The name may hold only letters, digits, blanks and the characters "
                                  "_ - . : and not \"%1\".")
                .arg(c);
    }
    if (name.size() > 255)
        return QStringLiteral("The name is longer than 255 characters.");
    // zpool's own words for parts of a pool, and names that look like a disk.
    for (const char* word : {"log", "cache", "special", "dedup"}) {
        if (name == QLatin1String(word))
            return QStringLiteral("\"%1\" is a word ZFS reserves.").arg(name);
    }
    for (const char* prefix : {"mirror", "raidz", "draid", "spare"}) {
        if (name.startsWith(QLatin1String(prefix)))
            return QStringLiteral("Names beginning with \"%1\" are reserved by ZFS.").arg(QLatin1String(prefix));
    }
    if (name.size() >= 2 && name[0] == QLatin1Char('c') && name[1].isDigit())
        return QStringLiteral("Names like \"%1\" look like a disk and are refused by ZFS.").arg(name);
    return QString();
}
