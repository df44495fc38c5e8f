#include "exec/ToolLimits.h"

#include <atomic>

namespace {
std::atomic<int> readMs{0};
std::atomic<int> changeMs{0};
}  // namespace

int ToolLimits::ms(Kind kind)
{
    const int set = kind == Kind::Read ? readMs.load() : changeMs.load();
    if (set > 0)
        return set;
    return kind == Kind::Read ? ReadDefaultMs : ChangeDefaultMs;
}

void ToolLimits::set(Kind kind, int ms)
{
    (kind == Kind::Read ? readMs : changeMs) = ms;
}
