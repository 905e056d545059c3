// Values that would hide a command inside another, typed, pasted or loaded into the window,
// while a device that reads frames the protocol's way (cut at every "!") listens: it receives
// exactly the commands the user asked for.
#include "WindowOnSimSupport.h"
#include "uSnapshotActions.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>

namespace {

class HostileInputTest : public WindowOnSimTest {
protected:
    void SetUp() override {
        TSimOptions options;
        options.protocolFrames = true;
        ASSERT_NO_FATAL_FAILURE(Connect(options, 150, 5, true));
    }
    QByteArrayList Received() const { return Device->Snapshot().Received(); }
    bool WaitIdle() {
        return QTest::qWaitFor([&] { return !Window->Engine().IsBusy(); }, 20'000);
    }
    static void Paste(QLineEdit* edit, const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    }
};

} // namespace

TEST_F(HostileInputTest, TypedAndPastedTextCannotHideACommand) {
    QLineEdit* apn = Ui().txtAPN;
    apn->setFocus();
    apn->selectAll();
    QTest::keyClicks(apn, "x!!(P20)!");
    EXPECT_EQ(apn->text(), "xP20");
    EXPECT_TRUE(apn->toolTip().endsWith("\nAPN cannot hold \"!\"")) << apn->toolTip().toStdString();
    EXPECT_TRUE(apn->accessibleDescription().endsWith("APN cannot hold \"!\""));
    QTest::keyClicks(apn, "1");
    EXPECT_EQ(apn->toolTip(), "The access point name of the mobile network");

    Paste(Ui().txtAlias, "VAN!!(P20)!");
    EXPECT_EQ(Ui().txtAlias->text(), "");
    EXPECT_TRUE(Ui().txtAlias->toolTip().endsWith("Another name cannot hold \"!\""));
    Paste(Ui().txtPort, "99999");
    EXPECT_EQ(Ui().txtPort->text(), "8888");
    Paste(Ui().txtCenterNumber, QString(26, '1'));
    EXPECT_EQ(Ui().txtCenterNumber->text(), "");
    Paste(Ui().txtAPNPassword, "p\x01w");
    EXPECT_EQ(Ui().txtAPNPassword->text(), "");
    EXPECT_TRUE(Ui().txtAPNPassword->toolTip().endsWith("APN password cannot hold \"\\x01\""));
    Paste(Ui().txtAPNUsername, "user 1");
    EXPECT_EQ(Ui().txtAPNUsername->text(), "user 1");

    Ui().btnGprsSet->click();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Received(), QByteArrayList{"(P05,1,123.123.123.123,8888,xP201,user 1,)"});
}

TEST_F(HostileInputTest, AProfileValueThatBreaksItsRuleIsNotLoaded) {
    Ui().txtAlias->setText("VAN1");
    const QString port = Ui().cboCOMIndex->currentText();
    const QString path = Path("config/evil.cfg");
    WriteAll(path, "[Para]\r\nCOM=0\r\nCenterNumber=+8613800138000\r\nPort=99999\r\n"
                   "APN=x!!(P20)!\r\nAnotherName=VAN!!(P20)!\r\n");
    Messages.FileAnswer = path;
    Ui().btnLoad->click();

    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_EQ(Messages.Messages[0].Text,
              "These values of " + path +
                  " were not loaded; their fields keep what they showed:\n"
                  "Port: Port must be a whole number from 0 to 65535\n"
                  "APN: APN cannot hold \"!\"\n"
                  "AnotherName: Another name cannot hold \"!\"");
    EXPECT_EQ(Ui().txtAlias->text(), "VAN1");
    EXPECT_EQ(Ui().txtAPN->text(), "CMNET");
    EXPECT_EQ(Ui().txtPort->text(), "8888");
    EXPECT_EQ(Ui().txtCenterNumber->text(), "+8613800138000");
    EXPECT_EQ(Ui().cboCOMIndex->currentText(), port); // the open port stays

    Ui().btnWriteAll->click();
    ASSERT_TRUE(WaitIdle());
    const QByteArrayList received = Received();
    EXPECT_EQ(received.size(), 22);
    EXPECT_FALSE(received.contains("(P20)"));
    EXPECT_EQ(received.first(2), (QByteArrayList{"(P03,1,+8613800138000)", "(P17,1,VAN1)"}));
}

// A value shown as the device reported it, which its field cannot hold, is not saved.
TEST_F(HostileInputTest, SavingTheWindowsValuesNamesTheFieldThatCannotBeSaved) {
    Ui().txtAlias->setText(QString(238, 'B'));
    Messages.FileAnswer = Path("settings.snapshot");
    Find<QPushButton>("btnSnapshotSaveWindow")->click();
    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_EQ(Messages.Messages[0].Text,
              "The window's values cannot be saved as a snapshot: P17: Another name holds 238 "
              "characters; at most 20 fit");
    EXPECT_FALSE(QFile::exists(Path("settings.snapshot")));
}
