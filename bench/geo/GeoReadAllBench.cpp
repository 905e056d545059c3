// Read All Geo-fence as the technician runs it: the window, offscreen, on the real serial line
// to the simulated device on a pseudo-terminal, against the floor the pacing sets (63 pauses
// of 50 ms between the 64 reads) plus the time the frames would take on a 115200 Bd line.
#include "SilentMessages.h"
#include "uAppPaths.h"
#include "uExchangeEngine.h"
#include "uFrmMain.h"
#include "uLanguage.h"
#include "uQtSerialPort.h"
#include "uSimPty.h"
#include "uUtils.h"
#include "ui_uFrmMain.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <atomic>
#include <benchmark/benchmark.h>

namespace {

constexpr double kPacingMs = 63 * 50.0;
constexpr double kBitsPerByte = 10; // start, eight data bits, stop
constexpr double kBaud = 115200;

void BM_WindowReadAllGeoFencesOverPty(benchmark::State& state) {
    QTemporaryDir folder;
    SetAppDirOverride(folder.path());
    ResetLanguageState();
    TSimPty sim({});
    // Every frame each way, as the transcript names it.
    std::atomic<long long> frameBytes = 0;
    sim.SetTranscript([&frameBytes](const QString& line) {
        if (line.startsWith(QLatin1String("<< ")) || line.startsWith(QLatin1String(">> "))) {
            const auto frame = EncodeFrame(line.mid(3).toLatin1());
            frameBytes += frame ? frame->size() : 0;
        }
    });
    QString error;
    if (!sim.Start(&error)) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    TSilentMessages messages;
    TFrmMain window(messages, TQtSerialPort::Factory());
    window.show();
    window.PresetPort(sim.SlavePath());
    window.PresetBaud(QStringLiteral("115200"));
    window.Controls().btn_Switch->click();
    window.Controls().cbTipOnOK->setChecked(false);

    double worstMs = 0;
    double wireMs = 0;
    for (auto _ : state) {
        frameBytes = 0;
        QElapsedTimer clock;
        clock.start();
        window.Controls().btn_GeoRead->click();
        const QDeadlineTimer deadline(20'000);
        while ((window.Engine().IsBusy() || window.Engine().QueueLength() > 0) &&
               !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1000.0);
        worstMs = std::max(worstMs, ms);
        wireMs = static_cast<double>(frameBytes.load()) * kBitsPerByte / kBaud * 1000.0;
        if (window.Engine().QueueLength() > 0) {
            state.SkipWithError("the batch did not complete");
        }
    }
    const double floorMs = kPacingMs + wireMs;
    state.counters["floor_ms"] = floorMs;
    state.counters["wire_ms"] = wireMs;
    state.counters["worst_over_floor_pct"] = (worstMs / floorMs - 1.0) * 100.0;
    SetAppDirOverride(QString());
}
BENCHMARK(BM_WindowReadAllGeoFencesOverPty)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

} // namespace
