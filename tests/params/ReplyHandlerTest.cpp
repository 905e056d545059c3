// Replies from the device applied to the window's controls.
#include "ParamsTestSupport.h"
#include "uLedDisplay.h"
#include "uSegmentMeter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

namespace {

class ReplyHandlerTest : public ParamsTest {
protected:
    // Two commands in flight, so a test can tell whether a reply advanced the queue.
    void QueueTwo() {
        Groups->sbT01Click();
        ASSERT_EQ(Engine().QueueLength(), 2);
    }
    QCheckBox* Alarm(int row, int column) {
        return Ui().pnl_CheckAlarm->findChild<QCheckBox*>(
            QStringLiteral("cbVIP_%1%2").arg(row).arg(column));
    }
};

TEST_F(ReplyHandlerTest, ShowsTheIdentityOnlyWhenItIsANonNegativeNumber) {
    struct TCase {
        const char* reply;
        const char* shown;
    };
    for (const TCase& c :
         {TCase{"(0123456789,P13,5)", "0123456789"}, TCase{"(ABC,P13,5)", "0000000000"},
          TCase{"(-5,P13,5)", "0000000000"}, TCase{"(0042,T01,0,A,1,1,1)", "0042"}}) {
        Ui().RzMeter_LED->SetText("0000000000");
        Reply(c.reply);
        EXPECT_EQ(Ui().RzMeter_LED->Text(), c.shown) << c.reply;
    }
}

TEST_F(ReplyHandlerTest, TextValuesGoIntoTheirControlsAsReceived) {
    struct TCase {
        const char* reply;
        std::function<QString(Ui::TFrmMain&)> shown;
        const char* expected;
    };
    const TCase cases[] = {
        {"(1,P03,+1234567890)", [](Ui::TFrmMain& u) { return u.txtCenterNumber->text(); },
         "+1234567890"},
        {"(1,P01, V1.2 )", [](Ui::TFrmMain& u) { return u.lblVersion->text(); }, " V1.2 "},
        {"(1,P09,450)", [](Ui::TFrmMain& u) { return u.txtRadius->text(); }, "450"},
        {"(1,P10,35)", [](Ui::TFrmMain& u) { return u.cboBatteryAlert->currentText(); }, "35"},
        {"(1,P12,480)", [](Ui::TFrmMain& u) { return u.txtTimeDifferent->text(); }, "480"},
        {"(1,P17,CAR 7)", [](Ui::TFrmMain& u) { return u.txtAlias->text(); }, "CAR 7"},
        {"(1,P31,700)", [](Ui::TFrmMain& u) { return u.txtGSensorParam->text(); }, "700"},
        {"(1,P11,3,+4477)", [](Ui::TFrmMain& u) { return u.edtVIP_3->text(); }, "+4477"},
        {"(1,T03,999)", [](Ui::TFrmMain& u) { return u.txtCenterNumber->text(); }, "999"},
    };
    for (const TCase& c : cases) {
        Reply(c.reply);
        EXPECT_EQ(c.shown(Ui()), c.expected) << c.reply;
    }
}

// A reply without its parameter's layout is applied nowhere, not in part.
TEST_F(ReplyHandlerTest, AGprsReplyWithoutItsFiveFieldsChangesNoField) {
    QueueTwo();
    Ui().txtAPNPassword->setText("secret");
    EXPECT_THROW(Reply("(1,P05,10.0.0.2,9001,NET2)"), TReplyError);
    EXPECT_THROW(Reply("(1,P05,garbage)"), TReplyError);
    EXPECT_EQ(Ui().txtIPAddress->text(), "123.123.123.123");
    EXPECT_EQ(Ui().txtAPN->text(), "CMNET");
    EXPECT_EQ(Ui().txtAPNPassword->text(), "secret");
    EXPECT_EQ(Engine().QueueLength(), 2);
}

TEST_F(ReplyHandlerTest, OnOffOptionsAreOffOnlyForZero) {
    const std::pair<const char*, QCheckBox * Ui::TFrmMain::*> rows[] = {
        {"06", &Ui::TFrmMain::CBox_Main_01},
        {"25", &Ui::TFrmMain::CBox_Main_02},
        {"34", &Ui::TFrmMain::CBox_Main_03}};
    for (const auto& [number, box] : rows) {
        for (const auto& [value, on] :
             {std::pair{"1", true}, {"0", false}, {"", true}, {"x", true}, {"0", false}}) {
            Replies->HandleReply(QStringLiteral("(1,P%1,%2)").arg(number, value).toLatin1());
            EXPECT_EQ((Ui().*box)->isChecked(), on) << number << " " << value;
        }
    }
}

TEST_F(ReplyHandlerTest, StatusReportShowsTheDeviceAndStartsTheChargingAnimation) {
    QueueTwo();
    Reply("(0123456789,T01,0,CAR1,7,20,85)");
    EXPECT_EQ(Ui().lblAnotherName->text(), "CAR1");
    EXPECT_EQ(Ui().RzMeter_GPS->Value(), 5);
    EXPECT_EQ(Ui().RzMeter_GSM->Value(), 3);
    EXPECT_EQ(Ui().RzMeter_Battery->Value(), 85);
    EXPECT_EQ(Engine().QueueLength(), 1);
    EXPECT_TRUE(Replies->IsCharging());
    EXPECT_TRUE(Messages.Messages.isEmpty());

    for (const int shown : {0, 20, 40, 60, 80, 100, 0, 20}) {
        Replies->tmBatteyChargingTimer();
        EXPECT_EQ(Ui().RzMeter_Battery->Value(), shown);
    }
    Replies->StopCharging();
    EXPECT_FALSE(Replies->IsCharging());
    EXPECT_EQ(Ui().RzMeter_Battery->Value(), 0);
    Replies->tmBatteyChargingTimer();
    EXPECT_EQ(Ui().RzMeter_Battery->Value(), 0); // the animation starts over
}

TEST_F(ReplyHandlerTest, StatusReportWithABadFieldStopsThere) {
    QueueTwo();
    Ui().RzMeter_Battery->SetValue(40);
    EXPECT_THROW(Reply("(0123456789,T01,0,CAR2,3,x,85)"), TReplyError);
    EXPECT_EQ(Ui().lblAnotherName->text(), "CAR2");
    EXPECT_EQ(Ui().RzMeter_GPS->Value(), 3);
    EXPECT_EQ(Ui().RzMeter_Battery->Value(), 40);
    EXPECT_FALSE(Replies->IsCharging());
    EXPECT_EQ(Engine().QueueLength(), 2);

    EXPECT_THROW(Reply("(0123456789,T01,0,CAR3,3,6)"), TReplyError);
    EXPECT_EQ(Ui().lblAnotherName->text(), "CAR2"); // a short report is applied nowhere
    EXPECT_EQ(Engine().QueueLength(), 2);
}

TEST_F(ReplyHandlerTest, UploadingReplySetsChannelIntervalAndTimes) {
    Reply("(1,P04,60,10,1)");
    EXPECT_EQ(Ui().cbUpLoadMode->currentIndex(), 1);
    EXPECT_EQ(Ui().CBox_UploadingInterval->currentText(), "60");
    EXPECT_EQ(Ui().Cbox_UploadingTimes->currentText(), "10");

    Reply("(1,P04,777,0,0)");
    EXPECT_EQ(Ui().cbUpLoadMode->currentIndex(), 0);
    EXPECT_EQ(Ui().CBox_UploadingInterval->currentText(), "777"); // list not rebuilt
    EXPECT_EQ(Ui().Cbox_UploadingTimes->currentIndex(), 0);
    EXPECT_EQ(Ui().Cbox_UploadingTimes->currentText(), "Uploading all the time");

    EXPECT_THROW(Reply("(1,P04,30,5)"), TReplyError);
}

TEST_F(ReplyHandlerTest, ModeReplySelectsAndReactsLikeAClick) {
    Reply("(1,P07,2)");
    EXPECT_TRUE(Ui().RBtn_Main_03->isChecked());
    EXPECT_TRUE(TimeLabel("lbl_Main_085")->isEnabled());
    EXPECT_TRUE(Ui().pnlKeepAlive->isHidden());

    Reply("(1,P07,4)");
    EXPECT_TRUE(Ui().RBtn_Main_03->isChecked());

    Reply("(1,P07,3)");
    EXPECT_TRUE(Ui().RBtn_Main_02->isChecked());
    EXPECT_FALSE(Ui().RBtn_Main_03->isChecked());
    EXPECT_FALSE(TimeLabel("lbl_Main_085")->isEnabled());

    Reply("(1,P07,1)");
    EXPECT_TRUE(Ui().RBtn_Main_01->isChecked());
    EXPECT_FALSE(Ui().pnlKeepAlive->isHidden());
    EXPECT_EQ(Ui().CBox_UploadingInterval->itemText(1), "1800");
}

TEST_F(ReplyHandlerTest, KeepAliveAboveThirtyTicksTheOption) {
    for (const auto& [value, ticked, shown] : {std::tuple{"31", true, 31},
                                               {"30", false, 300},
                                               {"600", true, 600},
                                               {"abc", false, 300},
                                               {"0", false, 300}}) {
        Replies->HandleReply(QStringLiteral("(1,P18,%1)").arg(value).toLatin1());
        EXPECT_EQ(Ui().RCox_KeepAlive->isChecked(), ticked) << value;
        EXPECT_EQ(Ui().RzSpinEdit_KeepAlive->value(), shown) << value;
    }
}

TEST_F(ReplyHandlerTest, TimePointsMarkTheGridOnlyInFixedTimeMode) {
    Reply("(1,P21,3,1,510,1440)");
    EXPECT_TRUE(MarkedLabels().isEmpty());
    EXPECT_EQ(Schedule->FixedTimeList().size(), 6);

    Ui().RBtn_Main_03->setChecked(true);
    Schedule->RBtn_Main_03Click();
    EXPECT_EQ(MarkedLabels(), QStringList({"lbl_Main_000", "lbl_Main_085"}));

    // Only the minutes the grid holds are shown; 33 is not rounded onto 00:30.
    Reply("(1,P21,4,30,33,1410,2)");
    EXPECT_EQ(MarkedLabels(), QStringList({"lbl_Main_005", "lbl_Main_235"}));

    // A count of 0 leaves the marks; a count other than the minutes listed changes nothing.
    Reply("(1,P21,0)");
    EXPECT_EQ(MarkedLabels(), QStringList({"lbl_Main_005", "lbl_Main_235"}));
    EXPECT_THROW(Reply("(1,P21,9,60)"), TReplyError);
    EXPECT_EQ(MarkedLabels(), QStringList({"lbl_Main_005", "lbl_Main_235"}));

    EXPECT_THROW(Reply("(1,P21)"), TReplyError);
}

TEST_F(ReplyHandlerTest, AlarmFlagsAreOnOnlyForOne) {
    Reply("(1,P22,2,1,0,1,)");
    EXPECT_TRUE(Alarm(2, 1)->isChecked());
    EXPECT_FALSE(Alarm(2, 2)->isChecked());
    EXPECT_TRUE(Alarm(2, 3)->isChecked());
    EXPECT_FALSE(Alarm(2, 4)->isChecked());
    EXPECT_TRUE(Alarm(1, 2)->isChecked()); // other rows untouched

    Reply("(1,P22,7,0,0,0,0)");
    Reply("(1,P11,0,+1)");
    for (int column = 1; column <= 4; ++column) {
        EXPECT_TRUE(Alarm(1, column)->isChecked());
    }
    QueueTwo();
    EXPECT_THROW(Reply("(1,P22,1,0,0)"), TReplyError);
    for (int column = 1; column <= 4; ++column) {
        EXPECT_TRUE(Alarm(1, column)->isChecked()); // a short row is applied nowhere
    }
    EXPECT_EQ(Engine().QueueLength(), 2);
}

TEST_F(ReplyHandlerTest, GeoFenceReplyStoresTheFenceAndRepaints) {
    Reply("(1,P08,64,12130.0000,3115.0000,12145.0000,-3100.0000,Depot)");
    const TGeoFence& fence = Window->GeoFences()[63];
    EXPECT_EQ(fence.Name, "Depot");
    EXPECT_DOUBLE_EQ(fence.LTLongitude, 121.5);
    EXPECT_DOUBLE_EQ(fence.LTLatitude, 31.25);
    EXPECT_DOUBLE_EQ(fence.RBLongitude, 121.75);
    EXPECT_DOUBLE_EQ(fence.RBLatitude, -31.0);
    EXPECT_EQ(Repaints, 1);
}

TEST_F(ReplyHandlerTest, GeoFenceReplyOutsideTheTableOrShortStoresNothing) {
    QueueTwo();
    for (const char* reply : {"(1,P08,65,0,0,0,0,X)", "(1,P08,0,0,0,0,0,X)",
                              "(1,P08,abc,0,0,0,0,X)", "(1,P08,5,100.0,10.0,0,0)"}) {
        EXPECT_THROW(Reply(reply), TReplyError) << reply;
    }
    for (const TGeoFence& fence : Window->GeoFences()) {
        EXPECT_TRUE(fence.Name.isEmpty());
        EXPECT_EQ(fence.LTLongitude, 0.0);
    }
    EXPECT_EQ(Repaints, 0);
    EXPECT_EQ(Engine().QueueLength(), 2);
}

TEST_F(ReplyHandlerTest, VolumeAndBatteryLevels) {
    Reply("(1,P14,4)");
    EXPECT_EQ(Replies->VolumeLevel(), 4);
    EXPECT_EQ(Ui().RzMeter_Volume->Value(), 4);
    Reply("(1,P14,loud)");
    EXPECT_EQ(Replies->VolumeLevel(), 0);

    Reply("(1,P16,55)");
    Reply("(1,P16,n/a)");
    EXPECT_EQ(Ui().RzMeter_Battery->Value(), 55);
}

TEST_F(ReplyHandlerTest, BatchCompleteNoticeAfterTheLastReplyOnly) {
    QueueTwo();
    Reply("(1,P01,V2)");
    EXPECT_TRUE(Messages.Messages.isEmpty());
    Reply("(1,P13,5)");
    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_EQ(Messages.Messages[0].Text, "Operation success !");
    EXPECT_EQ(Messages.Messages[0].Caption, "Message");
    EXPECT_EQ(Messages.Messages[0].Icon, TMessageIcon::Information);

    Ui().pgCtrl->setCurrentWidget(Ui().tsAdvOperation);
    Reply("(1,P13,5)");
    Ui().pgCtrl->setCurrentWidget(Ui().tsMain);
    Ui().cbTipOnOK->setChecked(false);
    Reply("(1,P13,5)");
    EXPECT_EQ(Messages.Messages.size(), 1);
}

TEST_F(ReplyHandlerTest, EmptyOrNamelessRepliesChangeNothing) {
    QueueTwo();
    Reply("");
    EXPECT_EQ(Engine().QueueLength(), 2);
    EXPECT_THROW(Reply("(0123456789)"), TReplyError);
    EXPECT_EQ(Engine().QueueLength(), 2);
    EXPECT_TRUE(Messages.Messages.isEmpty());
    EXPECT_EQ(Ui().RzMeter_LED->Text(), "0123456789"); // the identity is shown first
}

} // namespace
