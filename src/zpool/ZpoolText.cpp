#include "zpool/ZpoolText.h"

bool ZpoolText::hasFailureMarker(const QString& text)
{
    return text.contains(QLatin1String("no pools available")) ||
           text.contains(QLatin1String("Failed to load ZFS module stack."));
}

QString ZpoolText::labelValue(QStringView line)
{
    const qsizetype start = line.indexOf(u": ");
    QStringView rest = line.mid(start + 2);
    const qsizetype end = rest.indexOf(u": ");
    if (end >= 0)
        rest = rest.left(end);
    return rest.trimmed().toString();
}

bool ZpoolText::isPoolsOwnLine(QStringView line, const QString& pool)
{
    if (pool.isEmpty())
        return false;
    qsizetype i = 0;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    const QStringView rest = line.mid(i);
    return rest.startsWith(pool) && (rest.size() == pool.size() || isBlank(rest[pool.size()]));
}
