// The Data Uploading box: modes, interval choices, the time-point grid and its encoding.
#include "ParamsTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

namespace {

class UploadScheduleTest : public ParamsTest {
public:
    void Select(QRadioButton* button, void (TUploadSchedule::*reaction)()) {
        button->setChecked(true);
        ((*Schedule).*reaction)();
    }
    void SelectNormal() { Select(Ui().RBtn_Main_01, &TUploadSchedule::RBtn_Main_01Click); }
    void SelectMoving() { Select(Ui().RBtn_Main_02, &TUploadSchedule::RBtn_Main_02Click); }
    void SelectFixedTime() { Select(Ui().RBtn_Main_03, &TUploadSchedule::RBtn_Main_03Click); }
    void Click(const char* name) { QTest::mouseClick(TimeLabel(name), Qt::LeftButton); }
    QStringList IntervalItems() {
        QStringList items;
        for (int i = 0; i < Ui().CBox_UploadingInterval->count(); ++i) {
            items.append(Ui().CBox_UploadingInterval->itemText(i));
        }
        return items;
    }
};

TEST_F(UploadScheduleTest, LabelsToggleOnClickOnlyInFixedTimeMode) {
    SelectNormal();
    Click("lbl_Main_085");
    EXPECT_TRUE(MarkedLabels().isEmpty());

    SelectFixedTime();
    Click("lbl_Main_085");
    Click("lbl_Main_120");
    EXPECT_EQ(MarkedLabels(), QStringList({"lbl_Main_085", "lbl_Main_120"}));
    Click("lbl_Main_085");
    EXPECT_EQ(MarkedLabels(), QStringList{"lbl_Main_120"});
}

TEST_F(UploadScheduleTest, IntervalChoicesFollowChannelAndMode) {
    struct TCase {
        int channel;
        void (UploadScheduleTest::*select)();
        QStringList items;
        const char* selected;
    };
    const QStringList tcp = {"5", "30", "60", "120"};
    const TCase cases[] = {
        {0, &UploadScheduleTest::SelectNormal, {"150", "1800", "3600"}, "150"},
        {0, &UploadScheduleTest::SelectMoving, {"150", "180", "300"}, "150"},
        {0, &UploadScheduleTest::SelectFixedTime, {"150", "180", "300"}, "150"},
        {1, &UploadScheduleTest::SelectNormal, tcp, "30"},
        {1, &UploadScheduleTest::SelectMoving, tcp, "30"},
        {1, &UploadScheduleTest::SelectFixedTime, tcp, "30"},
        {-1, &UploadScheduleTest::SelectNormal, {}, ""},
    };
    for (const TCase& c : cases) {
        Ui().cbUpLoadMode->setCurrentIndex(c.channel);
        (this->*c.select)();
        EXPECT_EQ(IntervalItems(), c.items) << c.channel;
        EXPECT_EQ(Ui().CBox_UploadingInterval->currentText(), c.selected) << c.channel;
        if (!c.items.isEmpty()) { // a typed interval gives way to the list's choice
            Ui().CBox_UploadingInterval->setEditText("999");
            Schedule->RefreshUploadOptions();
            EXPECT_EQ(Ui().CBox_UploadingInterval->currentText(), c.selected) << c.channel;
        }
    }
}

TEST_F(UploadScheduleTest, CollectTimePointsInTheOrderOfTheDay) {
    SelectFixedTime();
    EXPECT_EQ(Schedule->CollectTimePoints().Count, 0);
    EXPECT_EQ(Schedule->CollectTimePoints().Args, "");
    for (const char* name : {"lbl_Main_170", "lbl_Main_000", "lbl_Main_085"}) {
        Click(name);
    }
    TRcdCheckWorkingTime points = Schedule->CollectTimePoints();
    EXPECT_EQ(points.Count, 3);
    EXPECT_EQ(points.Args, ",1,510,1020");

    Schedule->ClearTimeLabels();
    Click("lbl_Main_005");
    Click("lbl_Main_235");
    points = Schedule->CollectTimePoints();
    EXPECT_EQ(points.Count, 2);
    EXPECT_EQ(points.Args, ",30,1410");
}

TEST_F(UploadScheduleTest, EveryLabelRoundTripsThroughATimePointReply) {
    SelectFixedTime();
    for (QLabel* label : Ui().pnl_WorkingTime->findChildren<QLabel*>()) {
        Schedule->lbl_Main_XX_Click(*label);
    }
    const TRcdCheckWorkingTime all = Schedule->CollectTimePoints();
    ASSERT_EQ(all.Count, 48);
    Schedule->ClearTimeLabels();
    Replies->HandleReply(QStringLiteral("(1,P21,48%1)").arg(all.Args).toLatin1());
    EXPECT_EQ(MarkedLabels().size(), 48);
    EXPECT_EQ(Schedule->CollectTimePoints().Args, all.Args);
}

TEST_F(UploadScheduleTest, ChangingModeClearsTheUsersMarksAndShowsTheStoredOnes) {
    SelectFixedTime();
    Click("lbl_Main_120");
    SelectNormal();
    EXPECT_TRUE(MarkedLabels().isEmpty());
    SelectFixedTime();
    EXPECT_TRUE(MarkedLabels().isEmpty());

    Replies->HandleReply("(1,P21,2,60,1020)");
    Click("lbl_Main_120");
    SelectMoving();
    EXPECT_TRUE(MarkedLabels().isEmpty());
    EXPECT_FALSE(TimeLabel("lbl_Main_010")->isEnabled());
    SelectFixedTime();
    EXPECT_EQ(MarkedLabels(), QStringList({"lbl_Main_010", "lbl_Main_170"}));

    // While a reply is stored, a channel change re-marks it too.
    Click("lbl_Main_120");
    Schedule->RefreshUploadOptions();
    EXPECT_EQ(MarkedLabels(), QStringList({"lbl_Main_010", "lbl_Main_170"}));
}

TEST_F(UploadScheduleTest, KeepAlivePanelFollowsTheModeAndTheLastReply) {
    SelectMoving();
    EXPECT_TRUE(Ui().pnlKeepAlive->isHidden());
    SelectNormal();
    EXPECT_FALSE(Ui().pnlKeepAlive->isHidden());
    EXPECT_FALSE(Ui().RCox_KeepAlive->isChecked());
    EXPECT_EQ(Ui().RzSpinEdit_KeepAlive->value(), 300);

    Replies->HandleReply("(1,P18,600)");
    SelectFixedTime();
    EXPECT_TRUE(Ui().pnlKeepAlive->isHidden());
    EXPECT_FALSE(Ui().RCox_KeepAlive->isChecked());
    SelectNormal();
    EXPECT_TRUE(Ui().RCox_KeepAlive->isChecked());
    EXPECT_EQ(Ui().RzSpinEdit_KeepAlive->value(), 600);

    Replies->HandleReply("(1,P18,30)");
    SelectMoving();
    SelectNormal();
    EXPECT_FALSE(Ui().RCox_KeepAlive->isChecked());
    EXPECT_EQ(Ui().RzSpinEdit_KeepAlive->value(), 300);
}

} // namespace
