#pragma once
#include <array>
#include <optional>

// How the create-RAID panel's controls follow the number of selected disks.
// Only the count matters: size, model, bay and mount state are not looked at.
struct DiskSelectionRules {
    bool nameEditable = false;
    // nullopt: the mode pop-up keeps its enabled state.
    std::optional<bool> modePopupEnabled;
    // Indexed like the mode pop-up: STRIPED, RAID-Z, RAID-Z2.
    std::array<bool, 3> modeEntryEnabled{};
    // nullopt: the selected mode stays as it is.
    std::optional<int> presetMode;
    bool createEnabled = false;
    bool advancedVisible = false;

    static DiskSelectionRules forCount(int selected);
};
