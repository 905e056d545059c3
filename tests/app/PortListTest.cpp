// The port list follows the ports of the machine, and the last connection comes back at the
// next start.
#include "WindowTestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class PortListTest : public WindowTest {
protected:
    void StartWithPorts() {
        Start();
        Window->SetPortLister([this] { return Ports; });
    }
    QComboBox* PortField() const { return Find<QComboBox>("cboCOMIndex"); }
    QStringList Listed() const {
        QStringList items;
        for (int i = 0; i < PortField()->count(); ++i) {
            items.append(PortField()->itemText(i));
        }
        return items;
    }
    void Restart() {
        Window.reset();
        Start();
    }

    QStringList Ports = {"ttyS0"};
};

TEST_F(PortListTest, OpeningTheListShowsPortsPluggedInOrRemovedMeanwhile) {
    StartWithPorts();
    PortField()->setEditText("/dev/pts/7"); // typed by the user: stays while the list changes
    Ports = {"ttyS0", "ttyUSB0"};
    PortField()->showPopup();
    EXPECT_EQ(Listed(), Ports);
    EXPECT_EQ(PortField()->currentText(), "/dev/pts/7");
    PortField()->hidePopup();

    Ports = {"ttyUSB0"};
    Window->RefreshPorts(); // what the timer does
    EXPECT_EQ(Listed(), Ports);
    EXPECT_EQ(PortField()->currentText(), "/dev/pts/7");
}

TEST_F(PortListTest, TheLastPortOpenedAndItsBaudRateAreSelectedAtTheNextStart) {
    WriteAll(SettingsFilePath(), "[config]\r\nlanguage=english\r\n\r\n[window]\r\nleft=1\r\n");
    Start();
    Window->PresetPort(Path("ttyFAKE")); // a path that exists: a pseudo-terminal, say
    WriteAll(Path("ttyFAKE"), "");
    Find<QLineEdit>("txtBAUD")->setText("115200");
    Find<QPushButton>("btn_Switch")->click();
    ASSERT_TRUE(Port->IsOpen());
    // New keys beside the language; the rest of the file as it was.
    EXPECT_EQ(ReadAll(SettingsFilePath()),
              "[config]\r\nlanguage=english\r\nlastport=" + Path("ttyFAKE").toUtf8() +
                  "\r\nlastbaud=115200\r\n\r\n[window]\r\nleft=1\r\n\r\n");

    Restart();
    EXPECT_EQ(PortField()->currentText(), Path("ttyFAKE"));
    EXPECT_EQ(Find<QLineEdit>("txtBAUD")->text(), "115200");

    // Start options win over what was remembered.
    Window->PresetPort("ttyUSB3");
    Window->PresetBaud("9600");
    EXPECT_EQ(PortField()->currentText(), "ttyUSB3");
    EXPECT_EQ(Find<QLineEdit>("txtBAUD")->text(), "9600");

    // A remembered port that has gone is not offered.
    QFile::remove(Path("ttyFAKE"));
    Restart();
    EXPECT_NE(PortField()->currentText(), Path("ttyFAKE"));
    EXPECT_EQ(Find<QLineEdit>("txtBAUD")->text(), "115200");
}

TEST_F(PortListTest, AFailedOpenIsNotRemembered) {
    Start();
    Port->FailOpenWith = "Access denied (Error: 5)";
    Find<QPushButton>("btn_Switch")->click();
    EXPECT_FALSE(ReadAll(SettingsFilePath()).contains("lastport"));
}

} // namespace
