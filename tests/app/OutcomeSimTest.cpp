// Each batch's outcome against the simulated device on a pseudo-terminal, misbehaving on
// purpose: lost replies, a line that goes dead, status reports nobody asked for, a device that
// stores something else than it is sent.
#include "WindowOnSimSupport.h"
#include "uExchangeEngine.h"
#include "uFieldStates.h"
#include "uLedDisplay.h"
#include "uQtSerialPort.h"
#include "uSegmentMeter.h"
#include "uSimPty.h"
#include "ui_uFrmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

namespace {

const QString kSuccess = QStringLiteral("Operation success !");

class OutcomeSimTest : public WindowOnSimTest {
protected:
    // A silent device is noticed in 450 ms.
    void Connect(const TSimOptions& options) { WindowOnSimTest::Connect(options, 150, 10, true); }

    TExchangeEngine& Engine() { return Window->Engine(); }
    QString Outcome() const { return Find<QLabel>("lblOutcome")->text(); }
    bool Ended() {
        return !Engine().IsBusy() && Engine().Batch() &&
               Engine().Batch()->End != TBatchEnd::Running;
    }
    bool WaitEnded() {
        return QTest::qWaitFor([&] { return Ended(); }, 20'000);
    }
    // A fresh window on a fresh device.
    void Reconnect(const TSimOptions& options) {
        Window.reset();
        if (Device) {
            Device->Stop();
        }
        Connect(options);
    }
    int Notices() const {
        int count = 0;
        for (const auto& message : Messages.Messages) {
            count += message.Text == kSuccess ? 1 : 0;
        }
        return count;
    }
};

TEST_F(OutcomeSimTest, LostRepliesStopTheBatchAndAltRTakesItToTheEnd) {
    TSimOptions options;
    options.dropEvery = 3;
    Connect(options);
    QTest::keyClick(Window.get(), Qt::Key_A, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Engine().IsBusy(); }, 2000));
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(Outcome(), "Read All stopped: the device did not answer (P03,0) (2 of 26 answered). "
                         "Resume: Alt+R");
    EXPECT_EQ(Notices(), 0);

    int resumes = 0;
    while (Engine().Batch()->End == TBatchEnd::NoAnswer && resumes < 30) {
        ++resumes;
        QTest::keyClick(Ui().txtAlias, Qt::Key_R, Qt::AltModifier);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return Engine().IsBusy() || Engine().Batch()->End == TBatchEnd::Complete; },
            2000));
        ASSERT_TRUE(WaitEnded());
        if (Engine().Batch()->End == TBatchEnd::NoAnswer) {
            EXPECT_EQ(Notices(), 0);
        }
    }
    EXPECT_GT(resumes, 3);
    EXPECT_EQ(Engine().Batch()->End, TBatchEnd::Complete);
    EXPECT_EQ(Engine().Batch()->Answered, 26);
    EXPECT_EQ(Notices(), 1);
    EXPECT_EQ(Ui().lblVersion->text(), QString::fromLatin1(Device->Snapshot().Version()));
}

TEST_F(OutcomeSimTest, AHangUpInWriteAllIsNeverReportedAsSuccess) {
    TSimOptions options;
    options.hangupAfter = 5;
    Connect(options);
    Ui().btnWriteAll->click();
    ASSERT_TRUE(WaitEnded()) << Outcome().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Messages.Messages.isEmpty(); }, 3000));
    EXPECT_TRUE(Outcome().startsWith(
        "Write All interrupted: the line was lost. 5 of 22 writes answered (5 confirmed, 0 "
        "differ); "))
        << Outcome().toStdString();
    EXPECT_TRUE(Outcome().endsWith(" not sent")) << Outcome().toStdString();
    EXPECT_EQ(Notices(), 0);
    EXPECT_EQ(Messages.Messages.size(), 1); // the lost line, once
    // Never sent: no "not confirmed" mark.
    EXPECT_EQ(Window->FieldStates().Mark(Ui().txtGSensorParam), TFieldMark::None);
}

TEST_F(OutcomeSimTest, UnaskedStatusReportsNeitherShiftNorDoubleTheBatches) {
    TSimOptions options;
    options.unsolicitedStatusSecs = 1;
    options.delayMs = 30; // long enough for a report to land in the middle of batches
    Connect(options);
    for (QPushButton* operation : {Ui().btnReadAll, Ui().btnWriteAll}) {
        Messages.Messages.clear();
        operation->click();
        ASSERT_TRUE(WaitEnded());
        EXPECT_EQ(Engine().Batch()->End, TBatchEnd::Complete) << Outcome().toStdString();
        EXPECT_EQ(Engine().Batch()->Differs, 0);
        EXPECT_EQ(Notices(), 1) << operation->objectName().toStdString();
    }
}

TEST_F(OutcomeSimTest, AValueTheDeviceStoresDifferentlyIsShownMarkedAndNoSuccess) {
    TSimOptions options;
    options.alterations = {{"P03", "+86138"}};
    Connect(options);
    Ui().txtCenterNumber->setText(QStringLiteral("+8613800138000"));
    Ui().btnWriteAll->click();
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(Engine().Batch()->End, TBatchEnd::Complete);
    EXPECT_EQ(Engine().Batch()->Differs, 1);
    EXPECT_TRUE(Outcome().contains(" writes confirmed, 1 differ, in ")) << Outcome().toStdString();
    EXPECT_EQ(Notices(), 0);
    EXPECT_EQ(Ui().txtCenterNumber->text(), "+86138");
    EXPECT_EQ(Window->FieldStates().Mark(Ui().txtCenterNumber), TFieldMark::Differs);
    EXPECT_EQ(Device->Snapshot().Values(3).value(0), "+86138");
}

// A reply that comes after its command was given up on does not undo what the user typed
// since, whether or not the field was read before: the edit stays, marked with what the device
// holds, also while the batch the reply takes up again goes on.
TEST_F(OutcomeSimTest, ALateReplyKeepsWhatTheUserTypedAfterTheStop) {
    TSimOptions slow;
    slow.delayMs = 600;
    slow.presets = {"(P05,1,10.0.0.1,9000,CMNET,,)", "(P03,1,+4900000)"};
    Connect(slow);
    Engine().SetTimingForTests(400, 10);
    Ui().btnGprsRead->click();
    ASSERT_TRUE(WaitEnded());
    ASSERT_EQ(Ui().txtAPN->text(), "CMNET");

    Engine().SetTimingForTests(50, 10); // now the device answers after the program gave up
    const struct {
        QPushButton* Read;
        QLineEdit* Field;
        const char* Typed;
        const char* Held;
    } cases[] = {
        {Ui().btnGprsRead, Ui().txtAPN, "MYAPN", "CMNET"},                        // read before
        {Ui().btnCenterNumberRead, Ui().txtCenterNumber, "+4912345", "+4900000"}, // never read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Field->objectName().toStdString());
        c.Read->click();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return Ended() && Engine().Batch()->End == TBatchEnd::NoAnswer; }, 5000));
        c.Field->selectAll();
        QTest::keyClicks(c.Field, c.Typed);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return c.Field->toolTip().endsWith(
                    QStringLiteral("Changed here. The device holds: %1").arg(c.Held));
            },
            5000))
            << c.Field->toolTip().toStdString();
        EXPECT_EQ(c.Field->text(), c.Typed);
        EXPECT_EQ(Window->FieldStates().Mark(c.Field), TFieldMark::Edited);
        Find<QPushButton>("btnCancelBatch")->click();
    }
}

// Moving from one device to another with the port button: nothing the first device said is
// shown, marked or trusted once its line is closed, until the second device says it.
TEST_F(OutcomeSimTest, ThePortButtonForgetsTheDeviceOfTheLineItCloses) {
    TSimOptions first;
    first.id = "1111111111";
    first.presets = {"(P17,1,VANA)"};
    Connect(first);
    QTest::keyClick(Window.get(), Qt::Key_A, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ended(); }, 10'000));
    ASSERT_EQ(Engine().Batch()->End, TBatchEnd::Complete) << Outcome().toStdString();
    QTest::keyClicks(Ui().txtAlias, "X");
    const auto shown = [&] {
        return QStringList{Ui().RzMeter_LED->Text(),
                           Ui().lblAnotherName->text(),
                           Ui().lblVersion->text(),
                           QString::number(Ui().RzMeter_GPS->Value()),
                           QString::number(Ui().RzMeter_GSM->Value()),
                           QString::number(Ui().RzMeter_Battery->Value())};
    };
    const QStringList forgotten{"0000000000", "", "xxxxxxxx", "0", "0", "0"};
    const QStringList read = shown();
    ASSERT_EQ(read.mid(0, 2), (QStringList{"1111111111", "VANA"}));
    for (qsizetype i = 0; i < read.size(); ++i) {
        ASSERT_NE(read[i], forgotten[i]) << i;
    }
    ASSERT_EQ(Window->FieldStates().Mark(Ui().txtAlias), TFieldMark::Edited);

    Ui().btn_Switch->click();
    EXPECT_EQ(shown(), forgotten);
    EXPECT_EQ(Window->FieldStates().Mark(Ui().txtAlias), TFieldMark::None);

    TSimOptions second;
    second.id = "3333333333";
    TSimPty other(second);
    QString error;
    ASSERT_TRUE(other.Start(&error)) << error.toStdString();
    Ui().cboCOMIndex->clearEditText();
    QTest::keyClicks(Ui().cboCOMIndex, other.SlavePath());
    Ui().btn_Switch->click();
    ASSERT_TRUE(Window->ComPort().IsOpen());
    EXPECT_EQ(shown(), forgotten);
    // Its own snapshot is restored without a word about the device of the other line.
    const QString snapshot = Path("own.snapshot");
    WriteAll(snapshot, "[Device]\r\nID=3333333333\r\n[Params]\r\nP03=+4933333\r\n");
    Messages.FileAnswer = snapshot;
    Find<QPushButton>("btnSnapshotRestore")->click();
    EXPECT_TRUE(Messages.Questions.isEmpty()) << Messages.Questions[0].Text.toStdString();
    Find<QPushButton>("btnCancelBatch")->click();
    Ui().sbT01->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ended(); }, 10'000));
    EXPECT_EQ(shown().mid(0, 2), (QStringList{"3333333333", ""}));
    Ui().btn_Switch->click();
}

// The day log is the audit trail: what each workflow sent, got and came to, in the order it
// happened, including what the user did in between.
TEST_F(OutcomeSimTest, TheDayLogKeepsEveryStepOfEachWorkflowInOrder) {
    const auto wait = [this](const std::function<bool()>& done) {
        ASSERT_TRUE(QTest::qWaitFor(done, 10'000)) << Outcome().toStdString();
    };
    const auto stopped = [this] { return Ended() && Engine().Batch()->End == TBatchEnd::NoAnswer; };
    TSimOptions differs;
    differs.alterations = {{"P03", "+86138"}};
    TSimOptions drops;
    drops.dropEvery = 2;
    TSimOptions slow;
    slow.delayMs = 700;
    TSimOptions hangsUp;
    hangsUp.hangupAfter = 2;
    const struct {
        const char* Workflow;
        TSimOptions Options;
        std::function<void()> Drive;
        QStringList Steps; // the beginnings of lines, in this order
    } cases[] = {
        {"a write the device stores differently",
         differs,
         [&] {
             Ui().txtCenterNumber->clear();
             QTest::keyClicks(Ui().txtCenterNumber, "+8613800138000");
             Ui().btnCenterNumberSet->click();
             wait([&] { return Ended(); });
         },
         {">> Send : (P03,1,+8613800138000)", "<< Write : (0123456789,P03,+86138)",
          "== Differs : (P03,1,+8613800138000) : (0123456789,P03,+86138)",
          "== Outcome : Basic information: Write done: 8 of 8 commands answered, 7 writes "
          "confirmed, 1 differ, in "}},
        {"a stop, a resume and a cancel",
         drops,
         [&] {
             QTest::keyClick(Window.get(), Qt::Key_A, Qt::AltModifier);
             wait(stopped);
             QTest::keyClick(Ui().txtAlias, Qt::Key_R, Qt::AltModifier);
             wait([&] { return Engine().IsBusy(); });
             wait(stopped);
             Find<QPushButton>("btnCancelBatch")->click();
         },
         {">> Send : (P01,0)", "!! No answer : (P01,0)",
          "== Outcome : Read All stopped: the device did not answer (P01,0) (1 of 26 answered). "
          "Resume: Alt+R",
          "== Resume : (P01,0)", ">> Send : (P01,0)", "<< Read : (0123456789,P01,",
          ">> Send : (P03,0)", "!! No answer : (P03,0)",
          "== Outcome : Read All stopped: ", "== Cancel : Read All",
          "== Outcome : Read All cancelled by the user. 2 of 26 reads answered; no answer to "
          "(P03,0); 23 not sent"}},
        {"a late answer",
         slow,
         [&] {
             Ui().btnCenterNumberRead->click();
             wait(stopped);
             Find<QPushButton>("btnCancelBatch")->click();
             wait([&] { return Engine().Batch()->Answered > 0; });
         },
         {">> Send : (P03,0)", "!! No answer : (P03,0)",
          "== Outcome : Basic information: Read stopped: ", "== Cancel : Basic information: Read",
          "== Outcome : Basic information: Read cancelled by the user. 0 of 8 reads answered; no "
          "answer to (P03,0); 7 not sent",
          "<< Read : (0123456789,P03,)", "== Late answer : (P03,0) : (0123456789,P03,)",
          "== Outcome : Basic information: Read cancelled by the user. 1 of 8 reads answered; 7 "
          "not sent"}},
        {"a cancel while a command is in flight",
         slow,
         [&] {
             Ui().btnCenterNumberRead->click();
             Find<QPushButton>("btnCancelBatch")->click();
             wait([&] { return Engine().Batch()->Answered > 0; });
         },
         {">> Send : (P03,0)", "== Cancel : Basic information: Read", "== Outcome : ",
          "<< Read : (0123456789,P03,)", "== Late answer : (P03,0) : (0123456789,P03,)"}},
        {"a lost line",
         hangsUp,
         [&] {
             Ui().btnWriteAll->click();
             wait([&] { return Ended(); });
         },
         {">> Send : (P03,1,)", "<< Write : (0123456789,P03,)", ">> Send : (P17,1,)",
          "<< Write : (0123456789,P17,)",
          "== Outcome : Write All interrupted: the line was lost. 2 of 22 writes answered (2 "
          "confirmed, 0 differ); 20 not sent",
          "== Line lost : The device closed the line"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Workflow);
        ASSERT_NO_FATAL_FAILURE(Reconnect(c.Options));
        const qsizetype from = DayLog(0).size() - 1;
        c.Drive();
        const QStringList log = DayLog(from);
        qsizetype at = 0;
        for (const QString& step : c.Steps) {
            while (at < log.size() && !log[at].startsWith(step)) {
                ++at;
            }
            ASSERT_LT(at, log.size()) << step.toStdString() << "\n" << log.join('\n').toStdString();
            ++at;
        }
    }
}

} // namespace
