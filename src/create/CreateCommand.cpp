#include "create/CreateCommand.h"

ZpoolCreate::Layout CreateCommand::layout(const QString& modeTitle)
{
    if (modeTitle == RaidZ)
        return ZpoolCreate::Layout::RaidZ;
    if (modeTitle == RaidZ2)
        return ZpoolCreate::Layout::RaidZ2;
    return ZpoolCreate::Layout::Striped;
}

QStringList CreateCommand::arguments(bool useEditedOptions, const QString& optionsText,
                                     const QString& name, const QString& modeTitle,
                                     const QStringList& diskPaths)
{
    return ZpoolCreate::arguments(useEditedOptions ? ZpoolCreate::splitOptionsText(optionsText)
                                                   : ZpoolCreate::defaultOptions(),
                                  name, layout(modeTitle), diskPaths);
}
