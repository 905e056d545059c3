#pragma once

#include "FakeCommPort.h"
#include "MessageRecorder.h"
#include "uAppPaths.h"
#include "uExchangeEngine.h"
#include "uFrmMain.h"
#include "uGeoFenceModel.h"
#include "uLanguage.h"
#include "uMapPage.h"
#include "uUtils.h"
#include "ui_uFrmMain.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A map page that is always there and keeps every statement it is given.
class TRecordingMapPage : public IMapPage {
public:
    bool CheckMapLoaded() override { return true; }
    void CallJavaScript(const QString& statement) override { Statements.append(statement); }

    QStringList Statements;
};

// The real main window in an empty program folder with an open fake line; the device buttons
// are enabled as after the port switch.
class GeoWindowTest : public ::testing::Test {
protected:
    GeoWindowTest() {
        SetAppDirOverride(FDir.path());
        ResetLanguageState();
        Window = std::make_unique<TFrmMain>(Messages, [this] {
            auto port = std::make_unique<TFakeCommPort>();
            Port = port.get();
            return port;
        });
        Window->Engine().SetTimingForTests(60'000, 0); // no time-out while a test runs
        Window->ComPort().Open();
        Window->SetDeviceButtons(true);
        Port->Written.clear();
    }
    ~GeoWindowTest() override {
        Window.reset();
        SetAppDirOverride(QString());
        ResetLanguageState();
    }

    Ui::TFrmMain& Ui() { return Window->Controls(); }
    TGeoFenceModel& Model() { return Window->GeoFenceModel(); }
    TGeoFence& Fence(int id) { return Window->GeoFences()[id - 1]; }

    QString Cell(int id, int column) {
        return Model().data(Model().index(id - 1, column)).toString();
    }
    void Select(std::initializer_list<int> ids) {
        for (const int id : ids) {
            Ui().vtList->selectionModel()->select(
                Model().index(id - 1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    // The command texts written to the line, in order.
    QStringList Sent() const {
        QStringList texts;
        for (QByteArray frame : Port->Written) {
            QByteArray text;
            EXPECT_TRUE(ExtractFrame(frame, text));
            texts.append(QString::fromLatin1(text));
        }
        return texts;
    }
    // The device answers.
    void Reply(const QString& text) { Port->Feed(EncodeFrame(text.toLatin1()).value()); }

    QTemporaryDir FDir;
    TMessageRecorder Messages;
    TFakeCommPort* Port = nullptr;
    std::unique_ptr<TFrmMain> Window;
};
