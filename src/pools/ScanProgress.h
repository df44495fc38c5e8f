#pragma once
#include "zpool/RaidInfo.h"

#include <QString>

#include <optional>

// What the pool view says about a pool's scrub ("Verify") or resilver
// ("Rebuild"): progress while one runs, else how the last one ended.
namespace ScanProgress {

// "Verifying: 42.5% done, 3 min left, no errors so far", "Last verified on
// 6 Dec 2026 17:02: no errors", "Never verified"; "" for an ejected pool or
// one whose status was not read.
QString text(const RaidInfo& pool);
// The percentage a progress bar shows while a scan runs.
std::optional<double> percent(const RaidInfo& pool);

// The Verify button for the selected pool: off without an imported pool or
// while it rebuilds; it stops a verify that is running.
struct VerifyButton {
    bool enabled = false;
    bool stops = false;
};
VerifyButton verifyButton(const RaidInfo* pool);

}  // namespace ScanProgress
