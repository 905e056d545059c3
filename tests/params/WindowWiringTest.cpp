// The parameter layer as the window runs it: buttons, replies from the line and the mode
// buttons reach the window's own objects.
#include "ParamsTestSupport.h"
#include "uSegmentMeter.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

namespace {

class WindowWiringTest : public ParamsTest {
protected:
    // The fixture opened the line directly; the buttons follow as after the port switch.
    WindowWiringTest() { Window->SetDeviceButtons(true); }
};

} // namespace

TEST_F(WindowWiringTest, ReadAllRunsOverTheLineAndRepliesFillTheControls) {
    Ui().btnReadAll->click();
    EXPECT_EQ(Sent(), QStringList{"(T01,0)"});
    EXPECT_EQ(Engine().QueueLength(), 26);

    Port->Feed(Frame(QStringLiteral("(0123456789,T01,0,CAR1,7,20,85)")));
    EXPECT_EQ(Ui().lblAnotherName->text(), "CAR1");
    EXPECT_EQ(Sent().last(), "(P01,0)");
    Port->Feed(Frame(QStringLiteral("(0123456789,P01,V4.4)")));
    Port->Feed(Frame(QStringLiteral("(0123456789,P03,+1234567890)")));
    EXPECT_EQ(Ui().lblVersion->text(), "V4.4");
    EXPECT_EQ(Ui().txtCenterNumber->text(), "+1234567890");
    EXPECT_EQ(Sent().last(), "(P17,0)");
}

TEST_F(WindowWiringTest, TheModeButtonsDriveTheTimeGrid) {
    QLabel* label = TimeLabel("lbl_Main_085");
    EXPECT_FALSE(label->isEnabled());
    Ui().RBtn_Main_03->click();
    EXPECT_TRUE(label->isEnabled());
    Ui().RBtn_Main_01->click();
    EXPECT_FALSE(label->isEnabled());
}

TEST_F(WindowWiringTest, ClosingThePortStopsTheChargingAnimation) {
    Port->Feed(Frame(QStringLiteral("(0123456789,T01,0,CAR1,7,20,85)")));
    EXPECT_TRUE(Window->Replies().IsCharging());
    Ui().btn_Switch->click(); // the port is open: this closes it
    EXPECT_FALSE(Window->Replies().IsCharging());
    EXPECT_EQ(Ui().RzMeter_Battery->Value(), 0);
}

// The data uploading settings as a Read shows them: fixed time points over TCP, interval 60,
// ten uploads, keep-alive 600, points 00:01, 08:30 and 17:00.
class ReadUploadingTest : public WindowWiringTest {
protected:
    ReadUploadingTest() {
        for (const char* reply :
             {"(1,P07,2)", "(1,P04,60,10,1)", "(1,P21,3,1,510,1020)", "(1,P18,600)"}) {
            Reply(reply);
        }
    }
    QStringList WrittenUploading() {
        Engine().ClearQueue();
        Groups->btnWorkModeSetClick();
        return Queued();
    }
};

TEST_F(ReadUploadingTest, ClickingTheSelectedModeAgainChangesNothing) {
    EXPECT_TRUE(Ui().RBtn_Main_03->isChecked());
    QTest::mouseClick(Ui().RBtn_Main_03, Qt::LeftButton);
    QTest::mouseClick(TimeLabel("lbl_Main_085"), Qt::LeftButton); // 08:30 off
    QTest::mouseClick(TimeLabel("lbl_Main_010"), Qt::LeftButton); // 01:00 on
    QTest::mouseClick(Ui().RBtn_Main_03, Qt::LeftButton);
    EXPECT_EQ(WrittenUploading(),
              QStringList({"(P04,1,60,10,1)", "(P07,1,2)", "(P21,1,3,1,60,1020)", "(P18,1,600)"}));

    // A real change still reacts: moving mode drops the points and keep-alive.
    QTest::mouseClick(Ui().RBtn_Main_02, Qt::LeftButton);
    EXPECT_EQ(WrittenUploading(), QStringList({"(P04,1,30,10,1)", "(P07,1,3)", "(P18,1,0)"}));
}

TEST_F(ReadUploadingTest, ReChoosingTheShownChannelChangesNothing) {
    QComboBox* channel = Ui().cbUpLoadMode;
    ASSERT_EQ(channel->currentIndex(), 1);
    QTest::mouseClick(TimeLabel("lbl_Main_085"), Qt::LeftButton);
    // The list opened and the shown channel taken again.
    channel->showPopup();
    QTest::keyClick(channel->view(), Qt::Key_Return);
    EXPECT_EQ(channel->currentIndex(), 1);
    EXPECT_EQ(WrittenUploading(),
              QStringList({"(P04,1,60,10,1)", "(P07,1,2)", "(P21,1,2,1,1020)", "(P18,1,600)"}));

    // Another channel rebuilds the intervals.
    QTest::keyClick(channel, Qt::Key_Up);
    EXPECT_EQ(channel->currentIndex(), 0);
    EXPECT_EQ(Ui().CBox_UploadingInterval->currentText(), "150");
}

TEST_F(WindowWiringTest, TheReportedBatteryLevelStaysReadableWhileTheBarAnimates) {
    Port->Feed(Frame(QStringLiteral("(0123456789,T01,0,CAR1,7,20,85)")));
    TSegmentMeter& battery = *Ui().RzMeter_Battery;
    for (int beat = 0; beat < 3; ++beat) {
        Window->Replies().tmBatteyChargingTimer();
        EXPECT_EQ(battery.Reading(), 85);
        EXPECT_EQ(battery.ReadingText(), "85%");
    }
    EXPECT_NE(battery.Value(), 85);
    QAccessibleInterface* readable = QAccessible::queryAccessibleInterface(&battery);
    ASSERT_NE(readable, nullptr);
    ASSERT_NE(readable->valueInterface(), nullptr);
    EXPECT_EQ(readable->valueInterface()->currentValue().toInt(), 85);
    EXPECT_EQ(readable->text(QAccessible::Value), "85%");

    Ui().btn_Switch->click(); // closed: no level known any more
    EXPECT_EQ(battery.Reading(), 0);
}
