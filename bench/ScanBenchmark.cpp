// scanTBDevice over 8 enclosures x 4 disks x 4 partitions plus 5,000
// unrelated registry entries, with the disk-usage run stubbed out.
#include "devices/FixtureRegistry.h"
#include "devices/VRLScanDevice.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

static void BM_ScanTBDevice(benchmark::State& state)
{
    FixtureRegistry registry(QStringLiteral(BENCH_REGISTRY));
    if (!registry.errorString().isEmpty() || registry.tree()->size() < 5000) {
        state.SkipWithError("benchmark registry missing");
        return;
    }
    VRLScanDevice scanner(registry);
    scanner.setDfRunner([] { return QString(); });
    qsizetype partitions = 0;
    for (auto _ : state) {
        scanner.resetArray(QStringLiteral("RADade"));
        scanner.scanTBDevice();
        partitions = 0;
        for (const auto& tb : scanner.tbArray())
            for (const auto& hdd : tb->hddArray)
                partitions += hdd->bsdPathArray.size();
        benchmark::DoNotOptimize(partitions);
    }
    if (scanner.tbArray().size() != 8 || partitions != 8 * 4 * 4)
        state.SkipWithError("unexpected scan result");
    state.counters["entries"] = double(registry.tree()->size());
}
BENCHMARK(BM_ScanTBDevice)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
