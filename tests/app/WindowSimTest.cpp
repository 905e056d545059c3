// The window on the real serial line against the simulated device on a pseudo-terminal.
#include "WindowOnSimSupport.h"
#include "uQtSerialPort.h"
#include "uSimPty.h"
#include "uStatusLamp.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

class WindowSimTest : public WindowOnSimTest {
protected:
    void Type(const QString& command) {
        Find<QLineEdit>("edt_Send")->setText(command);
        Find<QPushButton>("btn_AdvOper_Send")->click();
    }
    QString Transcript() const { return Find<QPlainTextEdit>("mm_Recv")->toPlainText(); }
};

TEST_F(WindowSimTest, OpensTalksToTheDeviceAndCloses) {
    StartDevice(TSimOptions{});
    auto* portSwitch = Find<QPushButton>("btn_Switch");
    portSwitch->click();
    ASSERT_TRUE(Messages.Messages.isEmpty()) << Messages.Messages[0].Text.toStdString();
    EXPECT_EQ(portSwitch->text(), "Close[&O]");
    EXPECT_TRUE(Find<TStatusLamp>("ComLed1")->IsLit());
    EXPECT_TRUE(Find<QWidget>("btnReadAll")->isEnabled());

    Type("(T01,0)");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Transcript().contains(" << "); }, 5000))
        << Transcript().toStdString();
    EXPECT_TRUE(Transcript().contains(">> Send : (T01,0)"));

    portSwitch->click();
    EXPECT_EQ(portSwitch->text(), "Open[&O]");
    EXPECT_FALSE(Find<TStatusLamp>("ComLed1")->IsLit());
    EXPECT_FALSE(Find<QWidget>("btnReadAll")->isEnabled());
    EXPECT_TRUE(Messages.Messages.isEmpty());
}

TEST_F(WindowSimTest, AHangUpWhileOpenReturnsToClosedWithOneMessage) {
    TSimOptions options;
    options.hangupAfter = 1;
    StartDevice(options);
    auto* portSwitch = Find<QPushButton>("btn_Switch");
    portSwitch->click();
    ASSERT_TRUE(Messages.Messages.isEmpty());

    Type("(T01,0)");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Device->HungUp(); }, 5000));
    // The line notices the hang-up when it is next written to, here in the middle of a write.
    Type("(T01,0)");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Messages.Messages.isEmpty(); }, 3000))
        << Transcript().toStdString();
    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_EQ(Messages.Messages[0].Caption, "ERROR");
    EXPECT_FALSE(Window->ComPort().IsOpen());
    EXPECT_EQ(portSwitch->text(), "Open[&O]");
    EXPECT_FALSE(Find<QWidget>("btnReadAll")->isEnabled());
    EXPECT_TRUE(Find<QWidget>("cboCOMIndex")->isEnabled());
}

} // namespace
