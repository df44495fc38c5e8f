// The three parsers on generated texts of n pools with ten disks each.
// The work per line is constant (the instruction count grows exactly tenfold
// with the text); wall time grows faster once the records outgrow the caches.
#include "zpool/ZpoolImportScan.h"
#include "zpool/ZpoolList.h"
#include "zpool/ZpoolStatus.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kDisks = 10;

QString poolName(int p)
{
    return QStringLiteral("pool%1").arg(p, 4, 10, QLatin1Char('0'));
}

QString listText(int pools)
{
    QString t = QStringLiteral(
        "NAME       SIZE  ALLOC   FREE  CKPOINT  EXPANDSZ   FRAG    CAP  DEDUP    HEALTH  ALTROOT\n");
    for (int p = 0; p < pools; ++p)
        t += poolName(p) + QStringLiteral("   36.4T  12.1T  24.3T        -         -     3%    33%  1.00x    ONLINE  -\n");
    return t;
}

QString statusText(int pools)
{
    QString t;
    for (int p = 0; p < pools; ++p) {
        t += QStringLiteral("  pool: %1\n state: ONLINE\n  scan: none requested\nconfig:\n\n"
                            "\tNAME        STATE     READ WRITE CKSUM\n"
                            "\t%1    ONLINE       0     0     0\n"
                            "\t  raidz2-0  ONLINE       0     0     0\n")
                 .arg(poolName(p));
        for (int d = 0; d < kDisks; ++d)
            t += QStringLiteral("\t    disk%1  ONLINE       0     0     0\n").arg(p * kDisks + d + 2);
        t += QStringLiteral("\nerrors: No known data errors\n\n");
    }
    return t;
}

QString importText(int pools)
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
    return t;
}

void BM_ShowRAIDList(benchmark::State& state)
{
    const QString text = listText(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(ZpoolList::ShowRAIDList(text));
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
    state.SetComplexityN(state.range(0));
}

void BM_ShowRAIDStatus(benchmark::State& state)
{
    const int pools = int(state.range(0));
    const QString text = statusText(pools);
    for (auto _ : state) {
        state.PauseTiming();
        RaidList list;  // fresh records: the parse appends to them
        for (int p = 0; p < pools; ++p) {
            auto r = std::make_shared<RaidInfo>();
            r->Name = poolName(p);
            list.append(r);
        }
        state.ResumeTiming();
        benchmark::DoNotOptimize(ZpoolStatus::ShowRAIDStatus(text, list));
        state.PauseTiming();
        list.clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
    state.SetComplexityN(state.range(0));
}

void BM_ShowUnimportRAID(benchmark::State& state)
{
    const QString text = importText(int(state.range(0)));
    for (auto _ : state) {
        RaidList list;
        ZpoolImportScan::ShowUnimportRAID(text, list);
        benchmark::DoNotOptimize(list);
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
    state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_ShowRAIDList)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Complexity();
BENCHMARK(BM_ShowRAIDStatus)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Complexity();
BENCHMARK(BM_ShowUnimportRAID)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
