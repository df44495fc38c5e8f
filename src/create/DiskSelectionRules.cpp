#include "create/DiskSelectionRules.h"

#include "create/CreateCommand.h"

DiskSelectionRules DiskSelectionRules::forCount(int selected)
{
    DiskSelectionRules r;
    if (selected < 2)
        return r;
    r.nameEditable = true;
    r.modePopupEnabled = true;
    r.modeEntryEnabled = {true, selected >= 3, selected == 4};
    // Re-applied on every change, so a third disk overrides a chosen "STRIPED".
    r.presetMode = selected == 2 ? CreateCommand::StripedIndex : CreateCommand::RaidZIndex;
    r.createEnabled = true;
    r.advancedVisible = true;
    return r;
}
