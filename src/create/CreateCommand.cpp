#include "create/CreateCommand.h"

namespace {
bool isHorizontalSpace(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}
}  // namespace

QStringList CreateCommand::defaultOptionArguments()
{
    return {QStringLiteral("-f"), QStringLiteral("-o"), QStringLiteral("ashift=13"),
            QStringLiteral("-O"), QStringLiteral("casesensitivity=insensitive"),
            QStringLiteral("-O"), QStringLiteral("normalization=formD")};
}

QString CreateCommand::modeWord(const QString& modeTitle)
{
    if (modeTitle == RaidZ)
        return QStringLiteral("raidz");
    if (modeTitle == RaidZ2)
        return QStringLiteral("raidz2");
    return {};
}

QStringList CreateCommand::splitOptionsText(const QString& text)
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

QStringList CreateCommand::arguments(bool useEditedOptions, const QString& optionsText,
                                     const QString& name, const QString& modeTitle,
                                     const QStringList& diskPaths)
{
    QStringList args{QStringLiteral("create")};
    args << (useEditedOptions ? splitOptionsText(optionsText) : defaultOptionArguments());
    args << name;
    const QString word = modeWord(modeTitle);
    if (!word.isEmpty())
        args << word;
    args << diskPaths;
    return args;
}
