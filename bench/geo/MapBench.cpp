// The map, offscreen and offline (the tile host refuses connections): Load Google Map until
// the Leaflet map stands and the channel to the window is up, and Show All Geo-fence with all
// 64 fences set until the page has drawn them.
#include "SilentMessages.h"
#include "uAppPaths.h"
#include "uFrmMain.h"
#include "uLanguage.h"
#include "uMapBridge.h"
#include "uQtSerialPort.h"
#include "ui_uFrmMain.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

// The script's value, waited for on the event loop.
QVariant Eval(TMapBridge& bridge, const QString& script) {
    QVariant value;
    bool done = false;
    bridge.WebBrowser()->page()->runJavaScript(script, [&](const QVariant& result) {
        value = result;
        done = true;
    });
    const QDeadlineTimer deadline(10'000);
    while (!done && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return value;
}

// A window in a fresh program folder, shown on the geo-fence page.
class TMapWindow {
public:
    TMapWindow() {
        SetAppDirOverride(FFolder.path());
        ResetLanguageState();
        FWindow = std::make_unique<TFrmMain>(FMessages, TQtSerialPort::Factory());
        Ui().ed_googleurl->setText(QStringLiteral("127.0.0.1:9"));
        Ui().pgCtrl->setCurrentWidget(Ui().tsGeo);
        FWindow->show();
        QApplication::processEvents();
    }
    ~TMapWindow() {
        FWindow.reset();
        SetAppDirOverride(QString());
    }

    Ui::TFrmMain& Ui() { return FWindow->Controls(); }
    TMapBridge& Bridge() { return FWindow->MapBridge(); }
    TFrmMain& Window() { return *FWindow; }

    // Presses the button and waits for the map; false when it did not stand within 10 s.
    bool LoadMap() {
        bool loaded = false;
        const auto connection =
            QObject::connect(&Bridge(), &TMapBridge::PageLoaded, [&loaded] { loaded = true; });
        Ui().btnLoadMap->click();
        const QDeadlineTimer deadline(10'000);
        while (!loaded && !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        QObject::disconnect(connection);
        while (!deadline.hasExpired()) {
            if (Eval(Bridge(), QStringLiteral("map_obj !== null && tervo_external_obj !== null"))
                    .toBool()) {
                return true;
            }
        }
        return false;
    }

private:
    QTemporaryDir FFolder;
    TSilentMessages FMessages;
    std::unique_ptr<TFrmMain> FWindow;
};

// Each repetition starts a new window; the first one of the run also starts the web engine.
void BM_LoadMapInNewWindow(benchmark::State& state) {
    for (auto _ : state) {
        TMapWindow window; // manual time: only the load is counted
        QElapsedTimer clock;
        clock.start();
        if (!window.LoadMap()) {
            state.SkipWithError("the map did not load");
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_LoadMapInNewWindow)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);

// Pressing the button again: a freshly built page in the same view.
void BM_ReloadMap(benchmark::State& state) {
    TMapWindow window;
    window.LoadMap();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (!window.LoadMap()) {
            state.SkipWithError("the map did not load");
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_ReloadMap)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// From the press until the page has run the 129 statements (hide, then draw and fit each
// fence) and the last pan: a script queued after them answers only then.
void BM_ShowAll64Fences(benchmark::State& state) {
    TMapWindow window;
    if (!window.LoadMap()) {
        state.SkipWithError("the map did not load");
        return;
    }
    int id = 0;
    for (TGeoFence& fence : window.Window().GeoFences()) {
        const double lat = -60.0 + 1.8 * id;
        const double lng = -170.0 + 5.0 * id++;
        fence.LTLatitude = lat + 1.0;
        fence.LTLongitude = lng;
        fence.RBLatitude = lat;
        fence.RBLongitude = lng + 2.0;
    }
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        window.Ui().btn_GeoShowAllFence->click();
        const int drawn = Eval(window.Bridge(), QStringLiteral("user_fence.length")).toInt();
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        if (drawn != 64) {
            state.SkipWithError("not every fence was drawn");
        }
    }
}
BENCHMARK(BM_ShowAll64Fences)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace
