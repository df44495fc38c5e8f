#include "FuzzSupport.h"
#include "zpool/ZpoolStatus.h"

#include <QRegularExpression>

using namespace FuzzSupport;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString t = text(data, size);
    // The pools the list would hold: every name the text announces, some twice.
    static const QRegularExpression poolLine(QStringLiteral("pool: ([^\\n:]*)"));
    RaidList list;
    for (auto it = poolLine.globalMatch(t); it.hasNext();) {
        auto r = std::make_shared<RaidInfo>();
        r->Name = it.next().captured(1).trimmed();
        r->Size = QStringLiteral("1G");
        list.append(r);
        if (list.size() % 3 == 0)
            list.append(r);
    }
    const bool read = ZpoolStatus::ShowRAIDStatus(t, list);

    static const QStringList modes{"Striped", "RaidZ", "RaidZ2", "Mirror"};
    using State = RaidScan::State;
    for (const RaidInfoPtr& r : list) {
        require(r->Size == QStringLiteral("1G") && !r->Health && !r->Capacity);
        if (r->scan) {
            // Figures only for a layout that was read; never a figure out of range.
            const RaidScan& s = *r->scan;
            require(read && !s.text.contains(u'\n'));
            require(s.state == State::InProgress || (!s.percentDone && !s.secondsLeft));
            require(!s.percentDone || *s.percentDone >= 0);
            require(s.state != State::Unknown || (!s.errors && !s.processed && !s.seconds));
        }
        require(!r->RaidMode || modes.contains(*r->RaidMode));
        require(read || (r->Status.isEmpty() && !r->RaidMode));
        for (const RaidStatusPtr& s : r->Status) {
            for (const auto* v : {&s->DiskName, &s->State, &s->Read, &s->Write, &s->CKSum})
                requireField(*v);
            require(!s->DiskName->startsWith(u"raidz"));
            require(s->mountOn == r->Name && s->raidMode && modes.contains(*s->raidMode));
            require(s->Others && (s->Others->isEmpty() || s->Others->endsWith(u' ')));
            require(!s->slotPath);
        }
    }
    return 0;
}
