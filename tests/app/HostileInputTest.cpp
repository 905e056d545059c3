// Values that would hide a command inside another, typed, pasted or loaded into the window,
// while a device that reads frames the protocol's way (cut at every "!") listens: it receives
// exactly the commands the user asked for.
#include "WindowOnSimSupport.h"
#include "uAppPaths.h"
#include "uSnapshot.h"
#include "uSnapshotActions.h"

#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
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

// A list's entry is checked by the value it stands for ("all the time" is 0), typing by itself.
TEST_F(HostileInputTest, AListEntryIsCheckedByTheValueItStandsFor) {
    QComboBox* times = Ui().Cbox_UploadingTimes;
    const QString tip = "How many uploads: all the time, or pick or type a number";
    EXPECT_EQ(times->currentText(), "Uploading all the time");
    EXPECT_EQ(times->toolTip(), tip);
    EXPECT_FALSE(times->accessibleDescription().contains("cannot hold"));
    times->setFocus();
    times->lineEdit()->selectAll();
    QTest::keyClicks(times->lineEdit(), "5x");
    EXPECT_EQ(times->currentText(), "5");
    EXPECT_EQ(times->toolTip(), tip + "\nNumber of uploads cannot hold \"x\"");
    times->setCurrentIndex(0);
    EXPECT_EQ(times->toolTip(), tip);
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

// A snapshot holding a hidden command is refused whole, naming file, line and reason.
TEST_F(HostileInputTest, ASnapshotCannotHideACommand) {
    const QString snapshot = Path("evil.snapshot");
    WriteAll(snapshot, "[Device]\r\nID=0123456789\r\n[Params]\r\nP03=+86\r\nP17=x!!(P20)!\r\n");
    Messages.FileAnswer = snapshot;
    Find<QPushButton>("btnSnapshotRestore")->click();
    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_TRUE(Messages.Messages[0].Text.endsWith("line 5: P17: Another name cannot hold \"!\""))
        << Messages.Messages[0].Text.toStdString();
    EXPECT_FALSE(Window->Engine().IsBusy());
    EXPECT_TRUE(Received().isEmpty());
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

// Values the device reports that their fields cannot hold are shown as they came, marked with
// the reason, counted in the outcome, and never written back; a reply without its parameter's
// layout changes no field. No success notice for any of these batches.
TEST_F(HostileInputTest, RepliesTheProgramCannotUseAreShownMarkedAndCounted) {
    const QByteArray longNumber(26, '1');
    Device->WithDevice([&](TDeviceSim& device) {
        device.SetAlteration("P03", longNumber);
        device.SetAlteration("P17", QByteArray(238, 'B'));
        device.SetAlteration("P05", QByteArray("1.2.3\0004", 7));
    });
    auto* outcome = Find<QLabel>("lblOutcome");

    Ui().btnGprsSet->click();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Ui().txtIPAddress->text(), "123.123.123.123");
    for (QLineEdit* field : {Ui().txtIPAddress, Ui().txtPort, Ui().txtAPNPassword}) {
        EXPECT_TRUE(field->toolTip().endsWith(
            "The device answered (0123456789,P05,1.2.3\\x004), which the program cannot use: P05 "
            "takes 5 field(s), not 1"))
            << field->toolTip().toStdString();
    }
    EXPECT_TRUE(outcome->text().contains("1 replies the program cannot use"))
        << outcome->text().toStdString();
    EXPECT_FALSE(outcome->text().contains("did not answer"));
    // The transcript and the day log show the control byte escaped.
    const QByteArray log = ReadAll(QFileInfo(SettingsFilePath()).absolutePath() + "/log/" +
                                   QDate::currentDate().toString("yyyy-MM-dd") + ".log");
    EXPECT_TRUE(log.contains("<< Write : (0123456789,P05,1.2.3\\x004)\r\n"));
    EXPECT_FALSE(log.contains('\0'));
    EXPECT_TRUE(Ui().mm_Recv->toPlainText().contains("(0123456789,P05,1.2.3\\x004)"));

    Ui().txtCenterNumber->setText("+8613800138000");
    Ui().btnCenterNumberSet->click();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Ui().txtCenterNumber->text(), QString::fromLatin1(longNumber));
    EXPECT_TRUE(
        Ui().txtCenterNumber->toolTip().endsWith("which the program cannot use: P03: SMS Primary "
                                                 "number holds 26 characters; at most 20 fit"));
    EXPECT_EQ(Ui().txtAlias->text(), QString(238, 'B'));
    EXPECT_FALSE(Ui().txtGSensorParam->toolTip().contains("cannot use"));
    EXPECT_TRUE(outcome->text().contains("2 replies the program cannot use"));

    const qsizetype before = Received().size();
    Ui().btnWriteAll->click();
    ASSERT_TRUE(WaitIdle());
    const QByteArrayList sent = Received().mid(before);
    EXPECT_EQ(sent.size(), 20); // Write All's 22 but the two the device's values break
    for (const QByteArray& command : sent) {
        EXPECT_FALSE(command.startsWith("(P03,") || command.startsWith("(P17,")) << command.data();
    }
    EXPECT_TRUE(outcome->text().contains("2 commands refused by the rules, never sent"));
    EXPECT_FALSE(outcome->text().contains("did not answer"));
    EXPECT_FALSE(Find<QPushButton>("btnResume")->isEnabled()); // nothing left to send
    EXPECT_TRUE(outcome->text().contains(
        "was not sent: P03: SMS Primary number holds 26 characters; at most 20 fit"));
    EXPECT_TRUE(Ui().txtAlias->toolTip().endsWith(
        "Not sent: P17: Another name holds 238 characters; at most 20 fit"));

    // Backed up: the others are saved, the number the program cannot use is left out. (An
    // alias this long leaves no room in a frame for the status report a backup begins with.)
    Device->WithDevice([](TDeviceSim& device) {
        device.SetAlteration("P17", "VAN");
        device.Preset("(P17,1,VAN)");
    });
    Messages.FileAnswer = Path("odd.snapshot");
    Find<QPushButton>("btnSnapshotBackup")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(Path("odd.snapshot")); }, 30'000));
    ASSERT_TRUE(WaitIdle());
    TSnapshot saved;
    ASSERT_EQ(saved.Load(Path("odd.snapshot")), std::nullopt);
    EXPECT_EQ(saved.Param("P03"), std::nullopt);
    EXPECT_TRUE(outcome->text().contains("which the program cannot use: P03: SMS Primary number"))
        << outcome->text().toStdString();
    for (const auto& message : Messages.Messages) {
        EXPECT_NE(message.Text, "Operation success !");
    }
}
