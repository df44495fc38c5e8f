#include "create/DiskList.h"

namespace {
// Main thread only, like the panel that owns it.
HddList& list()
{
    static HddList disks;
    return disks;
}
}  // namespace

HddList DiskList::current()
{
    return list();
}

void DiskList::replace(const HddList& next)
{
    list() = next;
}
