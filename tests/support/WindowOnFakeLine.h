#pragma once

#include "FakeCommPort.h"
#include "MessageRecorder.h"
#include "uAppPaths.h"
#include "uExchangeEngine.h"
#include "uFrmMain.h"
#include "uLanguage.h"
#include "uUtils.h"
#include "ui_uFrmMain.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// The real main window in an empty program folder, its line a fake one that is open, with
// message boxes and file dialogs recorded.
class TWindowOnFakeLine : public ::testing::Test {
protected:
    TWindowOnFakeLine() {
        SetAppDirOverride(FDir.path());
        ResetLanguageState();
        Window = std::make_unique<TFrmMain>(Messages, [this] {
            auto port = std::make_unique<TFakeCommPort>();
            Port = port.get();
            return port;
        });
        Window->Engine().SetTimingForTests(60'000, 0); // no time-out while a test runs
        Window->ComPort().Open();
        Port->Written.clear();
    }
    ~TWindowOnFakeLine() override {
        Window.reset();
        SetAppDirOverride(QString());
        ResetLanguageState();
    }

    Ui::TFrmMain& Ui() { return Window->Controls(); }
    TExchangeEngine& Engine() { return Window->Engine(); }

    // The command texts written to the line, in order.
    QStringList Sent() const { return Port->WrittenTexts(); }

    QTemporaryDir FDir;
    TMessageRecorder Messages;
    TFakeCommPort* Port = nullptr;
    std::unique_ptr<TFrmMain> Window;
};
