// Read All as the technician runs it: the window, offscreen, on the real serial line to the
// simulated device on a pseudo-terminal at 115200 Bd, against the floor the pacing sets:
// 25 pauses of 50 ms between the 26 commands.
#include "SilentMessages.h"
#include "uAppPaths.h"
#include "uExchangeEngine.h"
#include "uFrmMain.h"
#include "uLanguage.h"
#include "uQtSerialPort.h"
#include "uSimPty.h"
#include "ui_uFrmMain.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr double kFloorMs = 25 * 50.0;

void BM_WindowReadAllOverPty(benchmark::State& state) {
    QTemporaryDir folder;
    SetAppDirOverride(folder.path());
    ResetLanguageState();
    TSimPty sim({});
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
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        window.Controls().btnReadAll->click();
        const QDeadlineTimer deadline(10'000);
        while ((window.Engine().IsBusy() || window.Engine().QueueLength() > 0) &&
               !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1000.0);
        worstMs = std::max(worstMs, ms);
        if (window.Engine().QueueLength() > 0) {
            state.SkipWithError("the batch did not complete");
        }
    }
    state.counters["floor_ms"] = kFloorMs;
    state.counters["worst_over_floor_pct"] = (worstMs / kFloorMs - 1.0) * 100.0;
    SetAppDirOverride(QString());
}
BENCHMARK(BM_WindowReadAllOverPty)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

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
