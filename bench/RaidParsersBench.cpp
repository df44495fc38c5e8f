// The three parsers on generated texts of n pools with ten disks each, fed
// the tool's bytes; bytes_per_second counts those bytes. Only the parse is
// timed, not freeing its records. The work per line is constant; wall time
// grows faster once the records outgrow the caches.
// BM_*Text runs the entry points that take the text the runners decoded.
#include "zpool/ZpoolImportScan.h"
#include "zpool/ZpoolList.h"
#include "zpool/ZpoolStatus.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

constexpr int kDisks = 10;

QString poolName(int p)
{
    return QStringLiteral("pool%1").arg(p, 4, 10, QLatin1Char('0'));
}

QByteArray listText(int pools)
{
    QString t = QStringLiteral(
        "NAME       SIZE  ALLOC   FREE  CKPOINT  EXPANDSZ   FRAG    CAP  DEDUP    HEALTH  ALTROOT\n");
    for (int p = 0; p < pools; ++p)
        t += poolName(p) + QStringLiteral("   36.4T  12.1T  24.3T        -         -     3%    33%  1.00x    ONLINE  -\n");
    return t.toUtf8();
}

// Each pool's scan line: never scrubbed, or a finished scrub.
const char* const kNoScan = "none requested";
const char* const kScrubbed = "scrub repaired 0B in 01:02:03 with 0 errors on Sun Jul 25 16:07:49 2021";

QByteArray statusText(int pools, const char* scan = kNoScan)
{
    QString t;
    for (int p = 0; p < pools; ++p) {
        t += QStringLiteral("  pool: %1\n state: ONLINE\n  scan: %2\nconfig:\n\n"
                            "\tNAME        STATE     READ WRITE CKSUM\n"
                            "\t%1    ONLINE       0     0     0\n"
                            "\t  raidz2-0  ONLINE       0     0     0\n")
                 .arg(poolName(p), QLatin1String(scan));
        for (int d = 0; d < kDisks; ++d)
            t += QStringLiteral("\t    disk%1  ONLINE       0     0     0\n").arg(p * kDisks + d + 2);
        t += QStringLiteral("\nerrors: No known data errors\n\n");
    }
    return t.toUtf8();
}

QByteArray importText(int pools)
{
    QString t;
    for (int p = 0; p < pools; ++p) {
        t += QStringLiteral("   pool: %1\n     id: 1234567890123456789\n  state: ONLINE\n"
                            " action: The pool can be imported using its name or numeric identifier.\n"
                            " config:\n\n\t%1    ONLINE\n\t  raidz2-0  ONLINE\n")
                 .arg(poolName(p));
        for (int d = 0; d < kDisks; ++d)
            t += QStringLiteral("\t    disk%1  ONLINE\n").arg(p * kDisks + d + 2);
        t += u'\n';
    }
    return t.toUtf8();
}

RaidList namedPools(int pools)
{
    RaidList list;
    for (int p = 0; p < pools; ++p) {
        auto r = std::make_shared<RaidInfo>();
        r->Name = poolName(p);
        list.append(r);
    }
    return list;
}

// Input: the tool's bytes, or (Decoded) the text the runners made of them.
template <typename Input>
Input input(const QByteArray& bytes)
{
    if constexpr (std::is_same_v<Input, QString>)
        return QString::fromUtf8(bytes);
    else
        return bytes;
}

template <typename Input>
void BM_ShowRAIDList(benchmark::State& state)
{
    const QByteArray bytes = listText(int(state.range(0)));
    const Input text = input<Input>(bytes);
    for (auto _ : state) {
        RaidList list = ZpoolList::ShowRAIDList(text);
        benchmark::DoNotOptimize(list);
        state.PauseTiming();  // freeing the records is not the parse
        list.clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.counters["bytes"] = double(bytes.size());
    state.SetComplexityN(state.range(0));
}

template <typename Input>
void BM_ShowRAIDStatus(benchmark::State& state, const char* scan)
{
    const int pools = int(state.range(0));
    const QByteArray bytes = statusText(pools, scan);
    const Input text = input<Input>(bytes);
    for (auto _ : state) {
        state.PauseTiming();
        RaidList list = namedPools(pools);  // fresh records: the parse appends to them
        state.ResumeTiming();
        benchmark::DoNotOptimize(ZpoolStatus::ShowRAIDStatus(text, list));
        state.PauseTiming();
        list.clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.counters["bytes"] = double(bytes.size());
    state.SetComplexityN(state.range(0));
}

template <typename Input>
void BM_ShowUnimportRAID(benchmark::State& state)
{
    const QByteArray bytes = importText(int(state.range(0)));
    const Input text = input<Input>(bytes);
    for (auto _ : state) {
        RaidList list;
        ZpoolImportScan::ShowUnimportRAID(text, list);
        benchmark::DoNotOptimize(list);
        state.PauseTiming();
        list.clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.counters["bytes"] = double(bytes.size());
    state.SetComplexityN(state.range(0));
}

void BM_ShowRAIDStatusBytes(benchmark::State& s) { BM_ShowRAIDStatus<QByteArray>(s, kNoScan); }
void BM_ShowRAIDStatusText(benchmark::State& s) { BM_ShowRAIDStatus<QString>(s, kNoScan); }
void BM_ShowRAIDStatusScrubbed(benchmark::State& s) { BM_ShowRAIDStatus<QByteArray>(s, kScrubbed); }

// On a shared machine the fastest of several repetitions is the steadiest figure:
//   --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
double fastest(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

#define SIZES                                                                                 \
    ->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Complexity() \
        ->ComputeStatistics("min", fastest)
BENCHMARK(BM_ShowRAIDList<QByteArray>)->Name("BM_ShowRAIDList") SIZES;
BENCHMARK(BM_ShowRAIDList<QString>)->Name("BM_ShowRAIDListText") SIZES;
BENCHMARK(BM_ShowRAIDStatusBytes)->Name("BM_ShowRAIDStatus") SIZES;
BENCHMARK(BM_ShowRAIDStatusText) SIZES;
BENCHMARK(BM_ShowRAIDStatusScrubbed) SIZES;
BENCHMARK(BM_ShowUnimportRAID<QByteArray>)->Name("BM_ShowUnimportRAID") SIZES;
BENCHMARK(BM_ShowUnimportRAID<QString>)->Name("BM_ShowUnimportRAIDText") SIZES;

}  // namespace

BENCHMARK_MAIN();
