// The parameter layer as the window runs it: buttons, replies from the line and the mode
// buttons reach the window's own objects.
#include "ParamsTestSupport.h"

#include <QLabel>
#include <QRadioButton>

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
