#pragma once

#include "WindowTestSupport.h"
#include "uAppPaths.h"
#include "uExchangeEngine.h"
#include "uQtSerialPort.h"
#include "uSimPty.h"
#include "ui_uFrmMain.h"

#include <QApplication>
#include <QDate>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <memory>

// The window on the real serial line against the simulated device on a pseudo-terminal.
class WindowOnSimTest : public WindowTest {
protected:
    ~WindowOnSimTest() override {
        Window.reset();
        if (Device) {
            Device->Stop();
        }
    }

    // The device, and the window with the device's port in its port field.
    void StartDevice(const TSimOptions& options) {
        Device = std::make_unique<TSimPty>(options);
        QString error;
        ASSERT_TRUE(Device->Start(&error)) << error.toStdString();
        Start(TQtSerialPort::Factory());
        Window->PresetPort(Device->SlavePath());
    }

    // The same, with the window shown and active and the port opened by its button. A device
    // that stays silent is given up on after three waits of replyMs.
    void Connect(const TSimOptions& options, int replyMs, int gapMs, bool tipOnOK) {
        ASSERT_NO_FATAL_FAILURE(StartDevice(options));
        Window->Engine().SetTimingForTests(replyMs, gapMs);
        Ui().cbTipOnOK->setChecked(tipOnOK);
        Window->show();
        QApplication::setActiveWindow(Window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
        Ui().btn_Switch->click();
        ASSERT_TRUE(Window->ComPort().IsOpen());
    }

    Ui::TFrmMain& Ui() { return Window->Controls(); }

    // The day log's lines from the given line on, without their time stamps.
    QStringList DayLog(qsizetype from) const {
        const QString path = QFileInfo(SettingsFilePath()).absolutePath() + "/log/" +
                             QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + ".log";
        QStringList lines;
        for (const QByteArray& line : ReadAll(path).split('\n').mid(from)) {
            const qsizetype stamp = line.indexOf(':') + 7; // "9 Dec 2026 17:56:49 "
            lines.append(QString::fromLatin1(line.trimmed().mid(stamp)));
        }
        return lines;
    }

    std::unique_ptr<TSimPty> Device;
};
