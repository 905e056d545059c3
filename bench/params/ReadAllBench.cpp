// Read All and Write All as the technician runs them: the window, offscreen, on the real serial
// line to the simulated device on a pseudo-terminal at 115200 Bd, against the floor the pacing
// sets: a pause of 50 ms between each two commands (25 for Read All's 26, 21 for the 22 of
// Write All with the window's start-up values).
#include "SilentMessages.h"
#include "WindowOnSimPty.h"
#include "uAppPaths.h"
#include "uFrmMain.h"
#include "uLanguage.h"
#include "uQtSerialPort.h"
#include "ui_uFrmMain.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr double kPauseMs = 50.0;

// Runs the batch of the named button, five times.
void RunBatches(benchmark::State& state, const char* button) {
    TWindowOnSimPty line;
    if (!line.Started()) {
        state.SkipWithError(line.Error.toStdString().c_str());
        return;
    }
    double worstMs = 0;
    double floorMs = 0;
    for (auto _ : state) {
        const std::optional<double> ms = line.RunBatch(
            line.Window().findChild<QAbstractButton*>(QString::fromLatin1(button)), 10'000);
        if (!ms) {
            state.SkipWithError("the batch did not complete");
            break;
        }
        floorMs = (line.Window().Engine().ProgressTotal() - 1) * kPauseMs;
        state.SetIterationTime(*ms / 1000.0);
        worstMs = std::max(worstMs, *ms);
    }
    state.counters["floor_ms"] = floorMs;
    state.counters["worst_over_floor_pct"] = (worstMs / floorMs - 1.0) * 100.0;
}

void BM_WindowReadAllOverPty(benchmark::State& state) {
    RunBatches(state, "btnReadAll");
}
BENCHMARK(BM_WindowReadAllOverPty)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_WindowWriteAllOverPty(benchmark::State& state) {
    RunBatches(state, "btnWriteAll");
}
BENCHMARK(BM_WindowWriteAllOverPty)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// One reply applied to the controls, repaint left to the event loop as in the program.
void BM_HandleReply(benchmark::State& state) {
    QTemporaryDir folder;
    SetAppDirOverride(folder.path());
    ResetLanguageState();
    TSilentMessages messages;
    TFrmMain window(messages, TQtSerialPort::Factory());
    window.Controls().cbTipOnOK->setChecked(false);
    const QByteArray replies[] = {
        "(0123456789,P03,+1234567890)",  "(0123456789,P05,10.0.0.1,9000,CMNET,,)",
        "(0123456789,P22,2,1,0,1,0)",    "(0123456789,T01,0,CAR1,7,20,85)",
        "(0123456789,P04,60,0,1)",       "(0123456789,P11,3,+8613800000000)",
        "(0123456789,P21,3,1,510,1410)", "(0123456789,P18,300)",
    };
    std::size_t i = 0;
    for (auto _ : state) {
        window.HandleReply(replies[i++ % std::size(replies)]);
    }
    SetAppDirOverride(QString());
}
BENCHMARK(BM_HandleReply)->Unit(benchmark::kMicrosecond);

} // namespace
