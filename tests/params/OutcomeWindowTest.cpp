// What the window tells of each batch: the status line, Resume and Cancel, the field marks and
// when the completion notice may appear. Replies arrive on the (fake) line as from a device.
#include "WindowOnFakeLine.h"
#include "uFieldStates.h"
#include "uGeoFenceModel.h"
#include "uLedDisplay.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <map>

namespace {

const QString kSuccess = QStringLiteral("Operation success !");

// What a device holds for each read, from the third reply field on.
QString ReadValue(const TCmdItem& cmd) {
    static const std::map<int, const char*> values = {
        {1, "V2.3.1"}, {3, "+86"},  {4, "60,0,0"}, {5, "1.2.3.4,8888,CMNET,,"},
        {6, "1"},      {7, "1"},    {10, "20"},    {12, "480"},
        {14, "3"},     {17, "CAR"}, {18, "0"},     {21, "0"},
        {25, "0"},     {31, "630"}, {34, "1"},
    };
    if (cmd.Kind != 0) {
        return QStringLiteral("0,CAR,4,24,80");
    }
    const QString index = CommandValue(cmd);
    if (cmd.ParamNo == 11) {
        return index + QStringLiteral(",139");
    }
    if (cmd.ParamNo == 22) {
        return index + QStringLiteral(",1,0,1,0");
    }
    return QString::fromLatin1(values.at(cmd.ParamNo));
}

class OutcomeWindowTest : public TWindowOnFakeLine {
protected:
    OutcomeWindowTest() {
        Ui().cbTipOnOK->setChecked(true);
        Window->SetDeviceButtons(true); // the line is open
    }

    void Feed(const QString& reply) { Port->Feed(EncodeFrame(reply.toLatin1()).value()); }
    // The device answers the head command: a read with its value, a write with its echo or
    // with what altered gives for that parameter number.
    void AnswerHead(const std::map<int, QString>& altered = {}) {
        const TCmdItem head = Engine().Queue().front();
        const QString name = QString::asprintf(head.Kind != 0 ? "T%.2d" : "P%.2d", head.ParamNo);
        QString value = head.RW == 0 ? ReadValue(head) : CommandValue(head);
        if (const auto it = altered.find(head.ParamNo); it != altered.end()) {
            value = it->second;
        }
        Feed(QStringLiteral("(0123456789,%1,%2)").arg(name, value));
    }
    void AnswerAll(const std::map<int, QString>& altered = {}) {
        for (int guard = 0; Engine().QueueLength() > 0 && guard < 200; ++guard) {
            AnswerHead(altered);
        }
    }
    void TimeOut() {
        for (int tick = 0; tick < TExchangeEngine::kOverTimeTicks; ++tick) {
            Engine().tmOverTimeTimer();
        }
    }
    int Notices() const {
        int count = 0;
        for (const auto& message : Messages.Messages) {
            count += message.Text == kSuccess ? 1 : 0;
        }
        return count;
    }
    QString Outcome() { return Window->findChild<QLabel*>(QStringLiteral("lblOutcome"))->text(); }
    QPushButton* Resume() { return Window->findChild<QPushButton*>(QStringLiteral("btnResume")); }
    TFieldMark Mark(const QWidget* control) { return Window->FieldStates().Mark(control); }
    void ShowActive() {
        Window->show();
        QApplication::setActiveWindow(Window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    }
};

TEST_F(OutcomeWindowTest, AReadAllAnsweredThroughStatusReportsNobodyAskedForSucceedsOnce) {
    Ui().btnReadAll->click();
    EXPECT_EQ(Outcome(), "Read All: 1 of 26");
    while (Engine().QueueLength() > 0) {
        AnswerHead();
        Feed(QStringLiteral("(0123456789,T01,0,CAR,4,24,80)"));
    }
    EXPECT_EQ(Sent().size(), 26);
    EXPECT_EQ(Notices(), 1);
    EXPECT_TRUE(Outcome().startsWith("Read All done: 26 of 26 commands answered in "))
        << Outcome().toStdString();
    EXPECT_EQ(Ui().lblVersion->text(), "V2.3.1");
    EXPECT_EQ(Mark(Ui().txtCenterNumber), TFieldMark::None);
}

TEST_F(OutcomeWindowTest, AWriteTheDeviceStoresDifferentlyIsMarkedAndNoSuccess) {
    Ui().btnReadAll->click();
    AnswerAll();
    Messages.Messages.clear();
    Ui().txtCenterNumber->setText(QStringLiteral("+8613800138000"));
    Ui().btnWriteAll->click();
    AnswerAll({{3, QStringLiteral("+86138")}});

    EXPECT_EQ(Notices(), 0);
    EXPECT_TRUE(Outcome().contains("writes confirmed, 1 differ")) << Outcome().toStdString();
    // The field shows what the device holds, and says what was written.
    EXPECT_EQ(Ui().txtCenterNumber->text(), "+86138");
    EXPECT_EQ(Mark(Ui().txtCenterNumber), TFieldMark::Differs);
    EXPECT_TRUE(Ui().txtCenterNumber->toolTip().contains(
        "Written: +8613800138000. The device holds: +86138"))
        << Ui().txtCenterNumber->toolTip().toStdString();
    EXPECT_EQ(Mark(Ui().txtAlias), TFieldMark::None);
    // Only the field of a record that differs is marked.
    EXPECT_EQ(Mark(Ui().txtIPAddress), TFieldMark::None);

    // Reading it again takes the mark away.
    Ui().btnCenterNumberRead->click();
    AnswerAll();
    EXPECT_EQ(Mark(Ui().txtCenterNumber), TFieldMark::None);
    EXPECT_TRUE(Ui().txtCenterNumber->toolTip().isEmpty() ||
                !Ui().txtCenterNumber->toolTip().contains("Written"));
}

TEST_F(OutcomeWindowTest, AFieldChangedSinceTheDeviceReportedItIsMarkedUntilItMatchesAgain) {
    EXPECT_EQ(Mark(Ui().txtCenterNumber), TFieldMark::None);
    QTest::keyClicks(Ui().txtCenterNumber, "5"); // nothing read yet: nothing to differ from
    EXPECT_EQ(Mark(Ui().txtCenterNumber), TFieldMark::None);
    Ui().btnCenterNumberRead->click();
    AnswerAll();
    EXPECT_EQ(Ui().txtCenterNumber->text(), "+86");

    QTest::keyClicks(Ui().txtCenterNumber, "1");
    EXPECT_EQ(Mark(Ui().txtCenterNumber), TFieldMark::Edited);
    EXPECT_TRUE(Ui().txtCenterNumber->toolTip().contains("The device holds: +86"));
    QTest::keyClick(Ui().txtCenterNumber, Qt::Key_Backspace);
    EXPECT_EQ(Mark(Ui().txtCenterNumber), TFieldMark::None);

    Ui().CBox_Main_01->click(); // read as ticked
    EXPECT_EQ(Mark(Ui().CBox_Main_01), TFieldMark::Edited);
    EXPECT_FALSE(Ui().CBox_Main_01->icon().isNull());
}

TEST_F(OutcomeWindowTest, ASilentDeviceIsNamedAndAltRResumesFromAnywhereInTheWindow) {
    ShowActive();
    Ui().btnReadAll->click();
    AnswerHead();
    AnswerHead();
    TimeOut();
    EXPECT_EQ(Outcome(), "Read All stopped: the device did not answer (P03,0) (2 of 26 answered). "
                         "Resume: Alt+R");
    EXPECT_TRUE(Window->findChild<QPlainTextEdit*>("mm_Recv")->toPlainText().contains(
        " !! No answer : (P03,0)"));
    EXPECT_TRUE(Resume()->isEnabled());
    EXPECT_EQ(Notices(), 0);

    Ui().pgCtrl->setCurrentWidget(Ui().tsAuthorization);
    Ui().edtVIP_2->setFocus();
    // An access key presses its button the way a click does, a moment later.
    QTest::keyClick(Ui().edtVIP_2, Qt::Key_R, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Sent().count("(P03,0)") == 2; }, 2000));
    EXPECT_FALSE(Resume()->isEnabled());
    EXPECT_EQ(Outcome(), "Read All: 3 of 26");
    AnswerAll();
    EXPECT_EQ(Notices(), 1);
    EXPECT_EQ(Sent().size(), 27);
}

TEST_F(OutcomeWindowTest, CancelAfterATimeOutDropsTheRestAndMarksUnansweredWrites) {
    Ui().btnReadAll->click();
    AnswerAll();
    Messages.Messages.clear();
    Ui().txtGSensorParam->setText(QStringLiteral("640"));
    ASSERT_EQ(Mark(Ui().txtGSensorParam), TFieldMark::Edited);
    Ui().btnWriteAll->click();
    AnswerHead(); // P03
    TimeOut();
    Window->findChild<QPushButton*>("btnCancelBatch")->click();
    EXPECT_EQ(Engine().QueueLength(), 0);
    EXPECT_EQ(Outcome(), "Write All cancelled by the user. 1 of 22 writes answered (1 confirmed, "
                         "0 differ); no answer to (P17,1,CAR); 20 not sent");
    EXPECT_EQ(Mark(Ui().txtCenterNumber), TFieldMark::None);
    EXPECT_EQ(Mark(Ui().txtAlias), TFieldMark::Unconfirmed);
    EXPECT_TRUE(Ui().txtAlias->toolTip().contains("the device did not answer (P17,1,"));
    // Never sent: still changed here.
    EXPECT_EQ(Mark(Ui().txtGSensorParam), TFieldMark::Edited);
    // The late echo verifies its write: the mark clears and the counts follow; no success.
    Feed(QStringLiteral("(0123456789,P17,CAR)"));
    EXPECT_EQ(Mark(Ui().txtAlias), TFieldMark::None);
    EXPECT_EQ(Outcome(), "Write All cancelled by the user. 2 of 22 writes answered (2 confirmed, "
                         "0 differ); 20 not sent");
    EXPECT_EQ(Notices(), 0);
}

TEST_F(OutcomeWindowTest, ALostLineSaysWhatWasDoneAndNeverSucceeds) {
    Ui().btnWriteAll->click();
    AnswerHead();
    AnswerHead();
    Port->Unplug();
    EXPECT_EQ(Outcome(), "Write All interrupted: the line was lost. 2 of 22 writes answered (2 "
                         "confirmed, 0 differ); no answer to (P10,1,20); 19 not sent");
    EXPECT_EQ(Notices(), 0);
    // No line, no device: nothing in the window is marked against one.
    EXPECT_EQ(Mark(Ui().cboBatteryAlert), TFieldMark::None);
    EXPECT_EQ(Ui().RzMeter_LED->Text(), "0000000000");
    EXPECT_EQ(Ui().lblVersion->text(), "xxxxxxxx");
}

TEST_F(OutcomeWindowTest, FactoryDefaultAsksFirstAndCancelSendsNothing) {
    ShowActive();
    Messages.ConfirmAnswer = false;
    QTest::keyClick(Window.get(), Qt::Key_D, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Messages.Questions.isEmpty(); }, 2000));
    EXPECT_EQ(Messages.Questions[0].Text, "Restore the factory defaults of the device 0000000000?");
    EXPECT_TRUE(Sent().isEmpty());

    Messages.ConfirmAnswer = true;
    Ui().btnDefault->click();
    EXPECT_EQ(Sent(), QStringList{"(P20)"});
    // Confirmed: no field holds what the device holds until it is read.
    Feed(QStringLiteral("(0123456789,P20)"));
    for (QWidget* field : std::initializer_list<QWidget*>{Ui().txtAlias, Ui().txtCenterNumber,
                                                          Ui().cboBatteryAlert}) {
        EXPECT_EQ(Mark(field), TFieldMark::Unknown) << field->objectName().toStdString();
        EXPECT_TRUE(field->toolTip().endsWith("Not known since the factory reset: Read All shows "
                                              "what the device holds now"));
    }
    EXPECT_TRUE(Outcome().contains(" s. The device has restored its factory settings; Read All "
                                   "[Alt+A] shows its new values."))
        << Outcome().toStdString();
    EXPECT_EQ(Mark(Ui().txtRadius), TFieldMark::Unknown);
    EXPECT_TRUE(Ui().txtRadius->toolTip().endsWith(
        "Not known since the factory reset, and the device does not report it when read: only "
        "writing it makes it known"));
    // Read, a field is the device's again.
    Ui().btnCenterNumberRead->click();
    AnswerAll();
    EXPECT_EQ(Mark(Ui().txtAlias), TFieldMark::None);
    EXPECT_EQ(Mark(Ui().txtCenterNumber), TFieldMark::None);
    EXPECT_EQ(Mark(Ui().txtIPAddress), TFieldMark::Unknown);
    // The radius, which no read reports, only by its write.
    Ui().btn_SelfGeoSet->click();
    AnswerAll();
    EXPECT_EQ(Mark(Ui().txtRadius), TFieldMark::None);
}

TEST_F(OutcomeWindowTest, ClosingDuringAWriteAsksAndStaysOpenWhenRefused) {
    Ui().btnWriteAll->click();
    Messages.ConfirmAnswer = false;
    QCloseEvent refused;
    QApplication::sendEvent(Window.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_EQ(Messages.Questions.size(), 1);
    EXPECT_TRUE(Window->ComPort().IsOpen());

    AnswerAll();
    QCloseEvent allowed; // nothing left to write: no question
    QApplication::sendEvent(Window.get(), &allowed);
    EXPECT_TRUE(allowed.isAccepted());
    EXPECT_EQ(Messages.Questions.size(), 1);
}

TEST_F(OutcomeWindowTest, GeoFenceRowsShowWhetherTheDeviceTookTheWrite) {
    Engine().ClearQueue();
    Engine().AddCmd(8, 1, QStringLiteral(",5,11354.0000,2230.0000,11406.0000,2224.0000,HOME"), 0);
    Engine().AddCmd(8, 1, QStringLiteral(",6,11354.0000,2230.0000,11406.0000,2224.0000,WORK"), 0);
    ASSERT_FALSE(Engine().StartBatch(QStringLiteral("Write Selected Geo-fence")).has_value());
    AnswerHead({{8, QStringLiteral("5,11354.0000,2230.0000,11406.0000,2224.0000,HOM")}});
    TimeOut();
    auto& model = Window->GeoFenceModel();
    EXPECT_EQ(model.Mark(5), TFieldMark::Differs);
    EXPECT_EQ(model.Mark(6), TFieldMark::Unconfirmed);
    const QModelIndex row5 = model.index(4, TGeoFenceModel::colName);
    EXPECT_TRUE(model.data(row5, Qt::ToolTipRole)
                    .toString()
                    .endsWith("The device holds: "
                              "5,11354.0000,2230.0000,"
                              "11406.0000,2224.0000,HOM"));
    EXPECT_FALSE(model.data(model.index(4, TGeoFenceModel::colID), Qt::DecorationRole)
                     .value<QIcon>()
                     .isNull());
    EXPECT_EQ(model.Mark(7), TFieldMark::None);
}

} // namespace
