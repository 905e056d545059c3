// A long day at the bench: 1,000 Read All batches (TERVO_SOAK_BATCHES to change) through the
// window, offscreen, over the real serial line to the simulated device on a pseudo-terminal.
// Reports resident memory before the first batch, after it and after the last one, and how
// many batches did not finish within 10 s.
#include "ResidentMemory.h"
#include "WindowOnSimPty.h"

#include <benchmark/benchmark.h>

namespace {

void BM_SoakReadAll(benchmark::State& state) {
    const int batches = qEnvironmentVariableIsSet("TERVO_SOAK_BATCHES")
                            ? qEnvironmentVariableIntValue("TERVO_SOAK_BATCHES")
                            : 1000;
    TWindowOnSimPty line;
    if (!line.Started()) {
        state.SkipWithError(line.Error.toStdString().c_str());
        return;
    }
    for (auto _ : state) {
        const double start = ResidentMegabytes();
        double afterFirst = start;
        int stuck = 0;
        for (int i = 0; i < batches; ++i) {
            if (!line.RunBatch(line.Window().Controls().btnReadAll, 10'000)) {
                ++stuck;
                line.Window().Engine().ClearQueue();
            }
            if (i == 0) {
                afterFirst = ResidentMegabytes();
            }
        }
        const double end = ResidentMegabytes();
        state.counters["batches"] = batches;
        state.counters["stuck"] = stuck;
        state.counters["rss_start_mb"] = start;
        state.counters["rss_after_first_mb"] = afterFirst;
        state.counters["rss_end_mb"] = end;
        state.counters["growth_after_first_mb"] = end - afterFirst;
    }
}
BENCHMARK(BM_SoakReadAll)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
