// Start-up of the main window, offscreen: construction with the whole start-up sequence up to
// the window shown, and the memory resident afterwards, before any map is loaded.
#include "ResidentMemory.h"
#include "SilentMessages.h"
#include "uAppPaths.h"
#include "uFrmMain.h"
#include "uLanguage.h"
#include "uQtSerialPort.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

// Each start finds the folder as the previous run left it, as a second program start does.
void BM_StartupToWindowShown(benchmark::State& state) {
    QTemporaryDir folder;
    SetAppDirOverride(folder.path());
    TSilentMessages messages;
    for (auto _ : state) {
        ResetLanguageState();
        auto window = std::make_unique<TFrmMain>(messages, TQtSerialPort::Factory());
        window->show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.get());
        state.PauseTiming();
        state.counters["resident_MB"] = ResidentMegabytes();
        window.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    SetAppDirOverride(QString());
}
BENCHMARK(BM_StartupToWindowShown)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

} // namespace
