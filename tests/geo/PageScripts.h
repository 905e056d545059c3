#pragma once

#include "uMapBridge.h"
#include "ui_uFrmMain.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <functional>
#include <gtest/gtest.h>

// Keeps the event loop running until done() holds; false when it did not within the time.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 20'000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(5);
    }
    return true;
}

// Runs scripts in the window's map page and waits for their values. Statements the window
// gave the page before have run by then, as the page runs scripts in order.
class TPageScripts {
public:
    explicit TPageScripts(TMapBridge& bridge) : FBridge(bridge) {}

    // Presses "Load Google Map" and waits for the map and the channel to the window.
    bool LoadMap(Ui::TFrmMain& ui) {
        QSignalSpy loaded(&FBridge, &TMapBridge::PageLoaded);
        ui.btnLoadMap->click();
        return WaitFor([&] { return !loaded.isEmpty(); }) && WaitFor([&] {
                   return Eval("map_obj !== null && tervo_external_obj !== null").toBool();
               });
    }

    QVariant Eval(const QString& script) {
        QVariant value;
        bool done = false;
        FBridge.WebBrowser()->page()->runJavaScript(script, [&](const QVariant& result) {
            value = result;
            done = true;
        });
        EXPECT_TRUE(WaitFor([&] { return done; })) << script.toStdString();
        return value;
    }

    // The expression's value, passed through JSON.
    QVariant Json(const QString& expression) {
        const QString text =
            Eval(QStringLiteral("JSON.stringify(") + expression + QLatin1Char(')')).toString();
        return QJsonDocument::fromJson(text.toUtf8()).toVariant();
    }

private:
    TMapBridge& FBridge;
};
