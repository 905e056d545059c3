// Opening and closing the port from the window, on a fake line.
#include "WindowTestSupport.h"
#include "uExchangeEngine.h"
#include "uLedDisplay.h"
#include "uQtSerialPort.h"
#include "uSegmentMeter.h"
#include "uStatusLamp.h"
#include "uUtils.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

const QColor kSkyBlue(0xA6, 0xCA, 0xF0);
const QColor kBlue(0x00, 0x00, 0xFF);

class PortSwitchTest : public WindowTest {
protected:
    PortSwitchTest() { Start(); }

    QPushButton* Switch() const { return Find<QPushButton>("btn_Switch"); }
    QColor SwitchColor() const { return Switch()->palette().color(QPalette::ButtonText); }
    bool LampLit() const { return Find<TStatusLamp>("ComLed1")->IsLit(); }
    bool FieldsEnabled() const {
        const bool port = Find<QWidget>("cboCOMIndex")->isEnabled();
        EXPECT_EQ(port, Find<QWidget>("txtBAUD")->isEnabled());
        return port;
    }
    // True when every device button is enabled, false when every one is disabled.
    bool DeviceButtonsEnabled() const {
        const bool first = Find<QWidget>(kDeviceButtons[0])->isEnabled();
        for (const char* name : kDeviceButtons) {
            EXPECT_EQ(Find<QWidget>(name)->isEnabled(), first) << name;
        }
        return first;
    }
    void ExpectClosed() const {
        EXPECT_FALSE(Port->IsOpen());
        EXPECT_EQ(Switch()->text(), "Open[&O]");
        EXPECT_EQ(SwitchColor(), kBlue);
        EXPECT_FALSE(LampLit());
        EXPECT_TRUE(FieldsEnabled());
        EXPECT_FALSE(DeviceButtonsEnabled());
    }
};

TEST_F(PortSwitchTest, OpensWithTheFieldsAndClosesAgain) {
    Find<QComboBox>("cboCOMIndex")->setEditText("ttyUSB7");
    Find<QLineEdit>("txtBAUD")->setText("115200");
    Find<TSegmentMeter>("RzMeter_Battery")->SetValue(70);

    Switch()->click();
    EXPECT_TRUE(Port->IsOpen());
    EXPECT_EQ(Port->PortName(), "/dev/ttyUSB7");
    EXPECT_EQ(Port->BaudRate(), 115200);
    EXPECT_EQ(Switch()->text(), "Close[&O]");
    EXPECT_EQ(SwitchColor(), kSkyBlue);
    EXPECT_TRUE(LampLit());
    EXPECT_FALSE(FieldsEnabled());
    EXPECT_TRUE(DeviceButtonsEnabled());
    EXPECT_EQ(Find<TSegmentMeter>("RzMeter_Battery")->Value(), 0);

    Switch()->click();
    ExpectClosed();
    EXPECT_TRUE(Messages.Messages.isEmpty());
}

TEST_F(PortSwitchTest, AFailedOpenShowsThePortErrorAndStaysClosed) {
    Port->FailOpenWith = "cannot open /dev/ttyUSB7: no such file or device";
    Switch()->click();

    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_EQ(Messages.Messages[0].Text, "cannot open /dev/ttyUSB7: no such file or device");
    EXPECT_EQ(Messages.Messages[0].Caption, "ERROR");
    EXPECT_EQ(Messages.Messages[0].Icon, TMessageIcon::Error);
    ExpectClosed();
}

TEST_F(PortSwitchTest, AnUnpluggedDeviceReturnsToClosedWithOneMessage) {
    Switch()->click();
    Window->Engine().AddCmd(1, 0, QString(), 1);
    Window->Engine().AddCmd(3, 0, QString(), 0);
    Window->Engine().StartSend(true);
    ASSERT_EQ(Port->Written.size(), 1);

    Port->Unplug("The device was removed");
    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_EQ(Messages.Messages[0].Text, "The device was removed");
    EXPECT_EQ(Messages.Messages[0].Caption, "ERROR");
    ExpectClosed();
    EXPECT_EQ(Window->Engine().QueueLength(), 0);

    // The reply time-out of the abandoned command ends the busy state without offering
    // device operations on the closed port.
    for (int tick = 0; tick < TExchangeEngine::kOverTimeTicks; ++tick) {
        Window->Engine().tmOverTimeTimer();
    }
    EXPECT_FALSE(Window->Engine().IsBusy());
    EXPECT_FALSE(DeviceButtonsEnabled());
    EXPECT_EQ(Port->Written.size(), 1);
    EXPECT_EQ(Messages.Messages.size(), 1);
}

TEST_F(PortSwitchTest, ClosingTheWindowClosesAnOpenPortOnly) {
    QSignalSpy closes(Port, &ICommPort::AfterClose);
    QCloseEvent idle;
    QApplication::sendEvent(Window.get(), &idle);
    EXPECT_EQ(closes.count(), 0);

    Switch()->click();
    QCloseEvent open;
    QApplication::sendEvent(Window.get(), &open);
    EXPECT_TRUE(open.isAccepted());
    EXPECT_FALSE(Port->IsOpen());
    EXPECT_EQ(closes.count(), 1);
}

TEST_F(PortSwitchTest, TheConsoleSendsTheTypedTextFramedOnTheOpenPort) {
    Switch()->click();
    Find<QLineEdit>("edt_Send")->setText("(P03,0)");
    Find<QPushButton>("btn_AdvOper_Send")->click();
    ASSERT_FALSE(Port->Written.isEmpty());
    EXPECT_EQ(Port->Written.last(), EncodeFrame("(P03,0)").value());
    EXPECT_TRUE(
        Window->findChild<QPlainTextEdit*>("mm_Recv")->toPlainText().contains(">> Send : (P03,0)"));
}

} // namespace

// The real port layer: a name typed into the port field that no device has.
TEST_F(WindowTest, AMissingPortIsNamedInTheMessage) {
    Start(TQtSerialPort::Factory());
    auto* port = Find<QComboBox>("cboCOMIndex");
    port->clearEditText();
    QTest::keyClicks(port, "ttyTERVO9");
    Find<QPushButton>("btn_Switch")->click();

    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_EQ(Messages.Messages[0].Text, "cannot open /dev/ttyTERVO9: no such file or device");
    EXPECT_EQ(Messages.Messages[0].Caption, "ERROR");
    EXPECT_TRUE(Find<QWidget>("cboCOMIndex")->isEnabled());
}
