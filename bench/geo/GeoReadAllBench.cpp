// Read All Geo-fence as the technician runs it: the window, offscreen, on the real serial line
// to the simulated device on a pseudo-terminal, against the floor the pacing sets (63 pauses
// of 50 ms between the 64 reads) plus the time the frames would take on a 115200 Bd line.
#include "WindowOnSimPty.h"
#include "uUtils.h"

#include <atomic>
#include <benchmark/benchmark.h>

namespace {

constexpr double kPacingMs = 63 * 50.0;
constexpr double kBitsPerByte = 10; // start, eight data bits, stop
constexpr double kBaud = 115200;

void BM_WindowReadAllGeoFencesOverPty(benchmark::State& state) {
    // Every frame each way, as the transcript names it.
    std::atomic<long long> frameBytes = 0;
    TWindowOnSimPty line([&frameBytes](const QString& text) {
        if (text.startsWith(QLatin1String("<< ")) || text.startsWith(QLatin1String(">> "))) {
            const auto frame = EncodeFrame(text.mid(3).toLatin1());
            frameBytes += frame ? frame->size() : 0;
        }
    });
    if (!line.Started()) {
        state.SkipWithError(line.Error.toStdString().c_str());
        return;
    }
    double worstMs = 0;
    double wireMs = 0;
    for (auto _ : state) {
        frameBytes = 0;
        const std::optional<double> ms =
            line.RunBatch(line.Window().Controls().btn_GeoRead, 20'000);
        if (!ms) {
            state.SkipWithError("the batch did not complete");
            break;
        }
        state.SetIterationTime(*ms / 1000.0);
        worstMs = std::max(worstMs, *ms);
        wireMs = static_cast<double>(frameBytes.load()) * kBitsPerByte / kBaud * 1000.0;
    }
    const double floorMs = kPacingMs + wireMs;
    state.counters["floor_ms"] = floorMs;
    state.counters["wire_ms"] = wireMs;
    state.counters["worst_over_floor_pct"] = (worstMs / floorMs - 1.0) * 100.0;
}
BENCHMARK(BM_WindowReadAllGeoFencesOverPty)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

} // namespace
