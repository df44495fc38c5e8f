#pragma once

// How long a tool may run before it and its children are killed. Reads
// (list, status, df, probes) answer in moments; a change or an import scan
// may have to wait for slow disks. The one place these numbers live.
namespace ToolLimits {
enum class Kind {
    Read,    // zpool list and status, df, ls, udisksctl: 30 s
    Change,  // zpool create, destroy, export, import and its scan, replace, online, offline, detach; chown, umount: 5 min
};
inline constexpr int ReadDefaultMs = 30 * 1000;
inline constexpr int ChangeDefaultMs = 5 * 60 * 1000;

int ms(Kind kind);
// Tests shorten the limits; set(kind, 0) restores the default.
void set(Kind kind, int ms);
}  // namespace ToolLimits
