#include "FuzzSupport.h"
#include "zpool/ZpoolImportScan.h"

using namespace FuzzSupport;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto imported = std::make_shared<RaidInfo>();
    imported->Name = QStringLiteral("tank");
    imported->Health = QStringLiteral("ONLINE");
    RaidList list{imported};
    ZpoolImportScan::ShowUnimportRAID(text(data, size), list);

    require(list.first() == imported && imported->Health == QStringLiteral("ONLINE"));
    for (qsizetype i = 1; i < list.size(); ++i) {
        const RaidInfo& r = *list[i];
        requireName(r.Name);
        require(r.Health && !r.Health->isEmpty());
        require(*r.Health != QStringLiteral("ONLINE") && *r.Health != QStringLiteral("DEGRADED"));
        require(!r.Size && !r.Alloc && !r.Free && !r.Capacity && !r.RaidMode && r.Status.isEmpty());
    }
    return 0;
}
