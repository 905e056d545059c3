#pragma once

#include "SilentMessages.h"
#include "uAppPaths.h"
#include "uExchangeEngine.h"
#include "uFrmMain.h"
#include "uLanguage.h"
#include "uQtSerialPort.h"
#include "uSimPty.h"
#include "ui_uFrmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <memory>
#include <optional>

// The window as the technician runs it, offscreen, in a fresh program folder, its port open
// on the real serial line to the simulated device on a pseudo-terminal at 115200 Bd, with the
// success tip turned off.
class TWindowOnSimPty {
public:
    explicit TWindowOnSimPty(TSimPty::TTranscript transcript = {}) {
        SetAppDirOverride(FFolder.path());
        ResetLanguageState();
        if (transcript) {
            FSim.SetTranscript(std::move(transcript));
        }
        if (!FSim.Start(&Error)) {
            return;
        }
        FWindow = std::make_unique<TFrmMain>(FMessages, TQtSerialPort::Factory());
        FWindow->show();
        FWindow->PresetPort(FSim.SlavePath());
        FWindow->PresetBaud(QStringLiteral("115200"));
        FWindow->Controls().btn_Switch->click();
        FWindow->Controls().cbTipOnOK->setChecked(false);
        // Drawn and idle, as the window stands when the technician reaches for a button.
        const QDeadlineTimer settled(kSettleMs);
        while (!settled.hasExpired()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
    }
    ~TWindowOnSimPty() {
        FWindow.reset();
        FSim.Stop();
        SetAppDirOverride(QString());
    }

    bool Started() const { return FWindow != nullptr; }
    TFrmMain& Window() { return *FWindow; }

    // Presses the button and keeps the event loop running until its batch is over: the
    // milliseconds it took, or nullopt when it had not finished after timeoutMs.
    std::optional<double> RunBatch(QAbstractButton* button, int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        button->click();
        const QDeadlineTimer deadline(timeoutMs);
        TExchangeEngine& engine = FWindow->Engine();
        while ((engine.IsBusy() || engine.QueueLength() > 0) && !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        if (engine.QueueLength() > 0) {
            return std::nullopt;
        }
        return static_cast<double>(clock.nsecsElapsed()) / 1e6;
    }

    QString Error; // why the simulated device did not start

private:
    static constexpr int kSettleMs = 300;

    QTemporaryDir FFolder;
    TSimPty FSim{TSimOptions{}};
    TSilentMessages FMessages;
    std::unique_ptr<TFrmMain> FWindow;
};
