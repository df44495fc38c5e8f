#include "FuzzSupport.h"
#include "zpool/ZpoolList.h"

using namespace FuzzSupport;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const RaidList list = ZpoolList::ShowRAIDList(text(data, size));
    for (const RaidInfoPtr& r : list) {
        require(r != nullptr);
        requireName(r->Name);
        require(!r->RaidMode && r->Status.isEmpty());
        for (const auto* v : {&r->Size, &r->Alloc, &r->Free, &r->Capacity, &r->Health}) {
            if (v->has_value())
                requireField(*v);
        }
    }
    return 0;
}
