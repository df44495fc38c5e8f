#include "zpool/ZpoolCreate.h"

namespace {
const QString Subcommand = QStringLiteral("create");

bool isHorizontalSpace(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}
}  // namespace

QStringList ZpoolCreate::defaultOptions()
{
    return {QStringLiteral("-f"), QStringLiteral("-o"), QStringLiteral("ashift=13"),
            QStringLiteral("-O"), QStringLiteral("casesensitivity=insensitive"),
            QStringLiteral("-O"), QStringLiteral("normalization=formD")};
}

QString ZpoolCreate::layoutWord(Layout layout)
{
    switch (layout) {
    case Layout::RaidZ:
        return QStringLiteral("raidz");
    case Layout::RaidZ2:
        return QStringLiteral("raidz2");
    case Layout::Striped:
        break;
    }
    return {};
}

QStringList ZpoolCreate::splitOptionsText(const QString& text)
{
    QStringList tokens;
    QString current;
    for (const QChar c : text) {
        if (isHorizontalSpace(c)) {
            if (!current.isEmpty())
                tokens << current;
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        tokens << current;
    return tokens;
}

QStringList ZpoolCreate::arguments(const QStringList& options, const QString& name, Layout layout,
                                   const QStringList& devices)
{
    QStringList args{Subcommand};
    args << options << name;
    const QString word = layoutWord(layout);
    if (!word.isEmpty())
        args << word;
    args << devices;
    return args;
}

QStringList ZpoolCreate::confinedOptions()
{
    return {QStringLiteral("-O"), QStringLiteral("setuid=off"), QStringLiteral("-O"), QStringLiteral("devices=off")};
}

bool ZpoolCreate::isAllowedProperty(const QString& name, bool fileSystem)
{
    // How data is laid out and named: nothing here reaches outside the pool.
    static const QStringList pool = {"ashift", "autoexpand", "autoreplace", "comment", "failmode"};
    static const QStringList fs = {"atime",   "relatime", "compression", "recordsize",      "checksum",
                                   "copies",  "casesensitivity",        "normalization", "utf8only",
                                   "dedup",   "sync",     "logbias",     "primarycache",    "secondarycache",
                                   "xattr",   "aclinherit", "aclmode",   "canmount",        "mountpoint",
                                   "readonly", "snapdir"};
    if (name.contains(QLatin1Char(':')) && fileSystem)
        return true;
    return fileSystem ? fs.contains(name) : pool.contains(name);
}
