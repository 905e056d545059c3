// The 26 commands of a full read, over a pseudo-terminal at 115200 Bd against the simulated
// device, measured against the floor the pacing sets: 25 pauses of 50 ms.
#include "uEngineHost.h"
#include "uExchangeEngine.h"
#include "uQtSerialPort.h"
#include "uSimPty.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>

namespace {

constexpr int kCommands = 26;
constexpr double kFloorMs = (kCommands - 1) * 50.0;

class TAdvancingHost : public IEngineHost {
public:
    void AddLog(const QString&) override {}
    void ShowProgress(int, int) override {}
    void SetDeviceButtons(bool) override {}
    void HandleReply(const QByteArray&) override {
        ++Replies;
        Engine->NextCmd();
    }
    QString TranslateText(const QString& text) override { return text; }
    TExchangeEngine* Engine = nullptr;
    int Replies = 0;
};

void BM_ReadAllOverPty(benchmark::State& state) {
    TSimPty sim({});
    QString error;
    if (!sim.Start(&error)) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    TQtSerialPort port;
    port.SetPortName(sim.SlavePath());
    port.SetBaudRate(115200);
    port.Open();
    TAdvancingHost host;
    TExchangeEngine engine(port, host);
    host.Engine = &engine;

    double worstMs = 0;
    for (auto _ : state) {
        host.Replies = 0;
        QElapsedTimer clock;
        clock.start();
        engine.ClearQueue();
        for (int i = 0; i < kCommands; ++i) {
            engine.AddCmd(i % 2 ? 3 : 17, 0, QString(), 0);
        }
        engine.StartSend(true);
        const QDeadlineTimer deadline(10'000);
        while (engine.IsBusy() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1000.0);
        worstMs = std::max(worstMs, ms);
        if (host.Replies != kCommands) {
            state.SkipWithError("the batch did not complete");
        }
    }
    state.counters["floor_ms"] = kFloorMs;
    state.counters["worst_over_floor_pct"] = (worstMs / kFloorMs - 1.0) * 100.0;
}
BENCHMARK(BM_ReadAllOverPty)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
