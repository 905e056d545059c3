#pragma once

#include "FakeCommPort.h"
#include "MessageRecorder.h"
#include "uAppPaths.h"
#include "uFrmMain.h"
#include "uLanguage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// The real main window in an empty program folder, with fresh translation tables, a
// message recorder and, unless a test gives another factory, a fake serial line.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() {
        SetAppDirOverride(FDir.path());
        ResetLanguageState();
    }
    ~WindowTest() override {
        Window.reset();
        SetAppDirOverride(QString());
        ResetLanguageState();
    }

    void Start() {
        Start([this] {
            auto port = std::make_unique<TFakeCommPort>();
            Port = port.get();
            return port;
        });
    }
    void Start(const TCommPortFactory& factory) {
        Window = std::make_unique<TFrmMain>(*Service, factory);
    }

    template <class T> T* Find(const QString& name) const {
        T* control = Window->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name.toStdString();
        return control;
    }

    QString Path(const QString& relative) const { return FDir.filePath(relative); }

    static QByteArray ReadAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void WriteAll(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QTemporaryDir FDir;
    TMessageRecorder Messages;
    IMessageService* Service = &Messages; // what the window shows its messages with
    TFakeCommPort* Port = nullptr;
    std::unique_ptr<TFrmMain> Window;
};

// The buttons that only work with the device connected.
inline const char* const kDeviceButtons[] = {
    "btn_GeoDisable", "sbT01",        "btnCenterNumberRead", "btnCenterNumberSet", "btnGprsSet",
    "btnGprsRead",    "btnVolumeSet", "btnVolumeRead",       "btnWorkModeRead",    "btnWorkModeSet",
    "btn_SelfGeoSet", "btn_GeoRead",  "btnVipCfgRead",       "btnVipCfgSet",       "btnReadAll",
    "btnWriteAll",    "btnDefault",   "btn_GeoEdit",         "btn_GeoSetAll"};
