// The groups' Read and Write operations: exact commands in order, validation messages, and
// nothing sent when a check fails.
#include "ParamsTestSupport.h"
#include "uBatchOutcome.h"
#include "uSegmentMeter.h"
#include "uSnapshot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <tuple>

namespace {

class ParamGroupsTest : public ParamsTest {
protected:
    // The queue after an operation, and the first of its frames on the line.
    void ExpectSent(const QStringList& commands) {
        EXPECT_EQ(Queued(), commands);
        ASSERT_EQ(Port->Written.size(), commands.isEmpty() ? 0 : 1);
        if (!commands.isEmpty()) {
            EXPECT_EQ(Port->Written[0], Frame(commands[0]));
        }
        EXPECT_EQ(Engine().IsBusy(), !commands.isEmpty());
    }
    void ExpectNothingSent() {
        EXPECT_TRUE(Queued().isEmpty());
        EXPECT_TRUE(Port->Written.isEmpty());
        EXPECT_FALSE(Engine().IsBusy());
    }
    void SetAlarmRow(int row, std::initializer_list<bool> flags) {
        int column = 1;
        for (const bool on : flags) {
            Ui().pnl_CheckAlarm
                ->findChild<QCheckBox*>(QStringLiteral("cbVIP_%1%2").arg(row).arg(column++))
                ->setChecked(on);
        }
    }
    void SelectFixedTime() {
        Ui().RBtn_Main_03->setChecked(true);
        Schedule->RBtn_Main_03Click();
    }

    const QStringList kReadAll = {
        "(T01,0)",   "(P01,0)",   "(P03,0)",   "(P17,0)",   "(P10,0)",   "(P12,0)",   "(P06,0)",
        "(P25,0)",   "(P05,0)",   "(P07,0)",   "(P04,0)",   "(P21,0)",   "(P14,0)",   "(P18,0)",
        "(P11,0,1)", "(P22,0,1)", "(P11,0,2)", "(P22,0,2)", "(P11,0,3)", "(P22,0,3)", "(P11,0,4)",
        "(P22,0,4)", "(P11,0,5)", "(P22,0,5)", "(P31,0)",   "(P34,0)"};
    // Write All with the window's start values.
    const QStringList kWriteAllDefaults = {"(P03,1,)",
                                           "(P17,1,)",
                                           "(P10,1,20)",
                                           "(P12,1,-60)",
                                           "(P06,1,0)",
                                           "(P25,1,0)",
                                           "(P05,1,123.123.123.123,8888,CMNET,,)",
                                           "(P04,1,150,0,0)",
                                           "(P07,1,1)",
                                           "(P11,1,1,0)",
                                           "(P11,1,2,0)",
                                           "(P11,1,3,0)",
                                           "(P11,1,4,0)",
                                           "(P11,1,5,0)",
                                           "(P22,1,1,1,1,1,1)",
                                           "(P22,1,2,1,1,1,1)",
                                           "(P22,1,3,1,1,1,1)",
                                           "(P22,1,4,1,1,1,1)",
                                           "(P22,1,5,1,1,1,1)",
                                           "(P18,1,0)",
                                           "(P31,1,630)",
                                           "(P34,1,0)"};
};

// One place builds Write All's commands: the button sends them, a snapshot keeps them.
TEST_F(ParamGroupsTest, WriteAllsCommandsMakeASnapshotOfTheWindowWithoutSendingAnything) {
    Ui().txtCenterNumber->setText(" +8613800138000 ");
    SetAlarmRow(2, {true, false, true, false});
    const auto cmds = Groups->WriteAllCommands();
    ASSERT_TRUE(cmds);
    ExpectNothingSent();
    TSnapshot snapshot;
    ASSERT_EQ(snapshot.Parse("[Params]\r\n"), std::nullopt);
    snapshot.SetWrites(*cmds);
    EXPECT_EQ(snapshot.Params().size(), 22);
    EXPECT_EQ(snapshot.Param("P03"), "+8613800138000");
    EXPECT_EQ(snapshot.Param("P22.2"), "2,1,0,1,0");
    EXPECT_EQ(snapshot.Param("P05"), "123.123.123.123,8888,CMNET,,");
    TSnapshot reread;
    EXPECT_EQ(reread.Parse(snapshot.ToBytes()), std::nullopt);

    Groups->btnWriteAllClick();
    QStringList texts;
    for (const TCmdItem& cmd : *cmds) {
        texts.append(QString::fromLatin1(CommandText(cmd)));
    }
    EXPECT_EQ(Queued(), texts);
}

TEST_F(ParamGroupsTest, ReadAllQueuesTwentySixReadsStartingWithTheStatusQuery) {
    Engine().AddCmd(3, 0, "", 0); // left over from an earlier batch
    Groups->btnReadAllClick();
    ASSERT_EQ(Queued().size(), 26);
    ExpectSent(kReadAll);
}

TEST_F(ParamGroupsTest, WriteAllSendsTwentyTwoCommandsWithTheStartValues) {
    Groups->btnWriteAllClick();
    ExpectSent(kWriteAllDefaults);
    EXPECT_TRUE(Messages.Messages.isEmpty());
}

TEST_F(ParamGroupsTest, WriteAllWithTimePointsSendsTwentyThree) {
    Ui().txtCenterNumber->setText(" +8613800 ");
    Ui().txtAlias->setText("Truck 4");
    Ui().cboBatteryAlert->setEditText("30");
    Ui().CBox_Main_02->setChecked(true);
    Ui().txtIPAddress->setText(" 10.1.1.1 ");
    Ui().cbUpLoadMode->setCurrentIndex(1);
    SelectFixedTime();
    Schedule->MarkTimeLabel("lbl_Main_170");
    Schedule->MarkTimeLabel("lbl_Main_000");
    Schedule->MarkTimeLabel("lbl_Main_085");
    Ui().edtVIP_4->setText("+99");
    SetAlarmRow(4, {false, true, false, true});
    Ui().RCox_KeepAlive->setChecked(true);
    Ui().RzSpinEdit_KeepAlive->setValue(600);

    Groups->btnWriteAllClick();
    QStringList expected = kWriteAllDefaults;
    expected[0] = "(P03,1,+8613800)";
    expected[1] = "(P17,1,Truck 4)";
    expected[2] = "(P10,1,30)";
    expected[5] = "(P25,1,1)";
    expected[6] = "(P05,1,10.1.1.1,8888,CMNET,,)";
    expected[7] = "(P04,1,30,0,1)";
    expected[8] = "(P07,1,2)";
    expected.insert(9, "(P21,1,3,1,510,1020)");
    expected[13] = "(P11,1,4,+99)";
    expected[18] = "(P22,1,4,0,1,0,1)";
    expected[20] = "(P18,1,600)";
    ASSERT_EQ(expected.size(), 23);
    ExpectSent(expected);
}

TEST_F(ParamGroupsTest, AbortedWriteAllLeavesNothingForTheNextOperation) {
    // Typed into the lists as a user types; the refusal says what is wrong.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"abc", "5", "The interval must be a whole number of seconds."},
        {"300", "many", "The number of uploads must be a whole number."},
    };
    for (const auto& [interval, times, message] : cases) {
        for (const auto& [list, text] : {std::pair{Ui().CBox_UploadingInterval, interval},
                                         {Ui().Cbox_UploadingTimes, times}}) {
            list->lineEdit()->clear();
            QTest::keyClicks(list, text);
        }
        Messages.Messages.clear();
        Groups->btnWriteAllClick();
        ExpectNothingSent();
        ASSERT_EQ(Messages.Messages.size(), 1);
        EXPECT_EQ(Messages.Messages[0].Text, message);
        EXPECT_EQ(Messages.Messages[0].Caption, "Error");
    }
    Messages.Messages.clear();
    Groups->btnVipCfgSetClick();
    EXPECT_EQ(Queued().size(), 10);
    EXPECT_EQ(Queued().first(), "(P11,1,1,0)");
}

// The centre number and the low battery threshold are checked by both writes that send them.
TEST_F(ParamGroupsTest, InvalidCenterNumberOrBatteryThresholdSendsNothing) {
    struct TCase {
        std::function<void(const char*)> enter;
        std::initializer_list<const char*> values;
        const char* valid; // entered again after the case
        QString text;
        QString caption;
        TMessageIcon icon;
    };
    const TCase cases[] = {
        {[this](const char* v) { Ui().txtCenterNumber->setText(v); },
         {"12 3", "+12-3", "++1", "12a"},
         "",
         "Center number is error.",
         QGuiApplication::applicationDisplayName(),
         TMessageIcon::Information},
        {[this](const char* v) { Ui().cboBatteryAlert->setEditText(v); },
         {"9", "", "abc", "-20"},
         "20",
         "Please Input The Low Battery Value More than 10!",
         "Error",
         TMessageIcon::Error},
    };
    for (auto write : {&TParamGroups::btnCenterNumberSetClick, &TParamGroups::btnWriteAllClick}) {
        for (const TCase& c : cases) {
            for (const char* value : c.values) {
                Messages.Messages.clear();
                c.enter(value);
                ((*Groups).*write)();
                ExpectNothingSent();
                ASSERT_EQ(Messages.Messages.size(), 1) << value;
                EXPECT_EQ(Messages.Messages[0].Text, c.text);
                EXPECT_EQ(Messages.Messages[0].Caption, c.caption);
                EXPECT_EQ(Messages.Messages[0].Icon, c.icon);
            }
            c.enter(c.valid);
        }
    }
}

TEST_F(ParamGroupsTest, BasicInformationWriteSendsEightCommands) {
    Ui().txtCenterNumber->setText("+");
    Ui().cboBatteryAlert->setEditText("10");
    Ui().txtTimeDifferent->setText(" 480 ");
    Ui().txtGSensorParam->setText(" 700 ");
    Ui().CBox_Main_01->setChecked(true);
    Ui().CBox_Main_03->setChecked(true);
    Groups->btnCenterNumberSetClick();
    ExpectSent({"(P03,1,+)", "(P17,1,)", "(P10,1,10)", "(P12,1,480)", "(P06,1,1)", "(P25,1,0)",
                "(P31,1,700)", "(P34,1,1)"});
    EXPECT_TRUE(Messages.Messages.isEmpty());
}

TEST_F(ParamGroupsTest, VipWriteSkipsAnInvalidNumberAndSendsTheRest) {
    Ui().edtVIP_1->setText("+111");
    Ui().edtVIP_2->setText("22-2");
    Ui().edtVIP_4->setText(" 444 ");
    Ui().edtVIP_5->setText("0");
    SetAlarmRow(3, {true, false, false, true});
    Engine().AddCmd(3, 0, "", 0); // not cleared first: queued commands go first
    Groups->btnVipCfgSetClick();
    ExpectSent({"(P03,0)", "(P11,1,1,+111)", "(P11,1,3,0)", "(P11,1,4,444)", "(P11,1,5,0)",
                "(P22,1,1,1,1,1,1)", "(P22,1,2,1,1,1,1)", "(P22,1,3,1,0,0,1)", "(P22,1,4,1,1,1,1)",
                "(P22,1,5,1,1,1,1)"});
    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_EQ(Messages.Messages[0].Text, "VIP number 2 is error.");
}

TEST_F(ParamGroupsTest, DataUploadingWrite) {
    struct TCase {
        std::function<void()> setup;
        QStringList sent;
    };
    const TCase cases[] = {
        {[this] { Ui().CBox_UploadingInterval->setEditText(" 300 "); },
         {"(P04,1,300,0,0)", "(P07,1,1)", "(P18,1,0)"}},
        {[this] {
             Ui().CBox_UploadingInterval->setEditText("abc");
             Messages.Messages.clear();
         },
         {}},
        {[this] {
             SelectFixedTime();
             Ui().Cbox_UploadingTimes->setCurrentIndex(2);
         },
         {"(P04,1,150,10,0)", "(P07,1,2)", "(P18,1,0)"}},
        {[this] {
             SelectFixedTime();
             Schedule->MarkTimeLabel("lbl_Main_005");
         },
         {"(P04,1,150,0,0)", "(P07,1,2)", "(P21,1,1,30)", "(P18,1,0)"}},
        {[this] {
             Ui().RCox_KeepAlive->setChecked(true);
             Ui().RzSpinEdit_KeepAlive->setValue(600);
         },
         {"(P04,1,150,0,0)", "(P07,1,1)", "(P18,1,600)"}},
    };
    for (const TCase& c : cases) {
        Port->Written.clear();
        Engine().ClearQueue();
        Engine().SetBusy(false);
        Ui().RBtn_Main_01->setChecked(true);
        Schedule->RBtn_Main_01Click();
        Ui().Cbox_UploadingTimes->setCurrentIndex(0);
        c.setup();
        Groups->btnWorkModeSetClick();
        ExpectSent(c.sent);
        // Nothing sent is said in a message.
        EXPECT_EQ(Messages.Messages.size(), c.sent.isEmpty() ? 1 : 0);
        Messages.Messages.clear();
    }
}

TEST_F(ParamGroupsTest, ReadAndSmallWriteOperations) {
    using THandler = void (TParamGroups::*)();
    const std::pair<THandler, QStringList> cases[] = {
        {&TParamGroups::sbT01Click, {"(P01,0)", "(T01,0)"}},
        {&TParamGroups::btnCenterNumberReadClick,
         {"(P03,0)", "(P17,0)", "(P10,0)", "(P12,0)", "(P06,0)", "(P25,0)", "(P31,0)", "(P34,0)"}},
        {&TParamGroups::btnGprsReadClick, {"(P05,0)"}},
        {&TParamGroups::btnWorkModeReadClick, {"(P07,0)", "(P04,0)", "(P21,0)", "(P18,0)"}},
        {&TParamGroups::btnVipCfgReadClick,
         {"(P11,0,1)", "(P22,0,1)", "(P11,0,2)", "(P22,0,2)", "(P11,0,3)", "(P22,0,3)", "(P11,0,4)",
          "(P22,0,4)", "(P11,0,5)", "(P22,0,5)"}},
        {&TParamGroups::btnVolumeReadClick, {"(P14,0)"}},
        {&TParamGroups::btnVolumeSetClick, {"(P14,1,0)"}},
        {&TParamGroups::btnDefaultClick, {"(P20)"}},
        {&TParamGroups::btnGprsSetClick, {"(P05,1,1.2.3.4,80,apn,u,p w)"}},
    };
    Ui().txtIPAddress->setText(" 1.2.3.4");
    Ui().txtPort->setText("80 ");
    Ui().txtAPN->setText("apn");
    Ui().txtAPNUsername->setText(" u ");
    Ui().txtAPNPassword->setText("p w");
    for (const auto& [handler, sent] : cases) {
        Port->Written.clear();
        Engine().AddCmd(99, 0, "", 0); // cleared by every one of them
        ((*Groups).*handler)();
        ExpectSent(sent);
        Engine().ClearQueue();
        Engine().SetBusy(false);
    }
}

TEST_F(ParamGroupsTest, VolumeButtonsStopAtTheEnds) {
    for (int i = 0; i < 8; ++i) {
        Groups->btnVolumeAddClick();
    }
    EXPECT_EQ(Replies->VolumeLevel(), 6);
    EXPECT_EQ(Ui().RzMeter_Volume->Value(), 6);
    Groups->btnVolumeDecClick();
    Groups->btnVolumeSetClick();
    EXPECT_EQ(Queued(), QStringList{"(P14,1,5)"});
    for (int i = 0; i < 8; ++i) {
        Groups->btnVolumeDecClick();
    }
    EXPECT_EQ(Replies->VolumeLevel(), 0);
}

// A batch of its own: its echo is checked and the strip says that the device does not report
// the radius back.
TEST_F(ParamGroupsTest, SelfGeoFenceRadiusIsWrittenAsABatchWithAnOutcome) {
    Ui().txtRadius->setText(" 450 ");
    Groups->btn_SelfGeoSetClick();
    ASSERT_EQ(Port->Written.size(), 1);
    EXPECT_EQ(Port->Written[0], Frame("(P09,1,450)"));
    EXPECT_TRUE(Engine().IsBusy());
    Port->Feed(Frame("(0123456789,P09,450)"));
    EXPECT_FALSE(Engine().IsBusy());
    const QString strip = Window->findChild<QLabel*>("lblOutcome")->text();
    EXPECT_TRUE(strip.startsWith("Self Geo-fence: Write done: 1 of 1 commands answered, 1 writes "
                                 "confirmed, 0 differ"))
        << strip.toStdString();
    EXPECT_TRUE(strip.endsWith("The device does not report the radius when read: its echo is "
                               "the only confirmation."))
        << strip.toStdString();

    Ui().txtRadius->setText("4.5");
    Groups->btn_SelfGeoSetClick();
    EXPECT_EQ(Port->Written.size(), 1);
}

TEST_F(ParamGroupsTest, ACommandThatCannotBeWrittenEndsTheBatchWithAMessage) {
    Port->FailWriteWith = "Write failed (Error: 5)";
    Groups->btnReadAllClick();
    Groups->btn_SelfGeoSetClick();
    Port->FailWriteWith.clear();
    Ui().txtAPN->setText(QString(300, 'a')); // shown as a device reported it
    Groups->btnGprsSetClick();

    ExpectNothingSent();
    ASSERT_EQ(Messages.Messages.size(), 2);
    EXPECT_EQ(Messages.Messages[0].Text, "Write failed (Error: 5)");
    EXPECT_EQ(Messages.Messages[1].Text, "Write failed (Error: 5)");
    // Refused by the rules, never framed: the outcome says which field and why.
    EXPECT_EQ(Engine().Batch()->Refused, 1);
    EXPECT_TRUE(Engine().Batch()->Note.endsWith(
        "was not sent: P05: APN holds 300 characters; at most 40 fit"));
    EXPECT_TRUE(
        Ui().txtAPN->toolTip().endsWith("Not sent: P05: APN holds 300 characters; at most 40 fit"));
    EXPECT_TRUE(Ui().btnReadAll->isEnabled());
}

TEST_F(ParamGroupsTest, SelectAllSetsEveryAlarmBox) {
    const auto boxes = Ui().pnl_CheckAlarm->findChildren<QCheckBox*>();
    ASSERT_EQ(boxes.size(), 20);
    for (const bool all : {false, true}) {
        Ui().CBox_CheckAll->setChecked(all);
        Groups->CBox_CheckAllClick();
        for (const QCheckBox* box : boxes) {
            EXPECT_EQ(box->isChecked(), all) << box->objectName().toStdString();
        }
    }
    // It shows whether all are ticked, however they came to be.
    QTest::mouseClick(boxes[0], Qt::LeftButton);
    EXPECT_FALSE(Ui().CBox_CheckAll->isChecked());
    Replies->HandleReply("(1,P22,1,1,1,1,1)");
    EXPECT_TRUE(Ui().CBox_CheckAll->isChecked());
}

TEST(PhoneNumberTest, DigitsAfterAnOptionalPlus) {
    for (const auto& [text, valid] : {std::pair{"", true},
                                      {"+", true},
                                      {"0123456789", true},
                                      {"+4477", true},
                                      {"1 2", false},
                                      {"1-2", false},
                                      {"++1", false},
                                      {"1+", false},
                                      {"١٢", false}}) {
        EXPECT_EQ(TParamGroups::IsPhoneNumber(QString::fromUtf8(text)), valid) << text;
    }
}

} // namespace
