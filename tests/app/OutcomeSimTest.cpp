// Each batch's outcome against the simulated device on a pseudo-terminal, misbehaving on
// purpose: lost replies, a line that goes dead, status reports nobody asked for, a device that
// stores something else than it is sent.
#include "WindowOnSimSupport.h"
#include "uExchangeEngine.h"
#include "uFieldStates.h"
#include "uQtSerialPort.h"
#include "uSimPty.h"
#include "ui_uFrmMain.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

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

} // namespace
