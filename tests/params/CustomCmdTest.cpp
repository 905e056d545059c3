// The time-items dialog.
#include "uFrmCustomCmd.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

class CustomCmdTest : public ::testing::Test {
protected:
    void Add(int hour, int minute) {
        Dialog.cbHour().setCurrentIndex(hour);
        Dialog.cbMin().setCurrentIndex(minute);
        Dialog.btnAddClick();
    }
    QStringList Lines() {
        QStringList lines;
        for (int row = 0; row < Dialog.lbxTime().count(); ++row) {
            lines.append(Dialog.lbxTime().item(row)->text());
        }
        return lines;
    }

    TfrmCustomCMD Dialog;
};

TEST_F(CustomCmdTest, AddKeepsEachTimeOnceInOrderAndNeverMidnight) {
    Add(0, 0);
    EXPECT_TRUE(Lines().isEmpty());
    Add(23, 30);
    Add(1, 0);
    Add(1, 0);
    Add(0, 1);
    EXPECT_EQ(Lines(), QStringList({"00:01", "01:00", "23:30"}));
}

TEST_F(CustomCmdTest, DelRemovesTheSelectedLinesAndIsEnabledOnlyWithASelection) {
    Add(0, 1);
    Add(1, 0);
    Add(23, 30);
    EXPECT_FALSE(Dialog.btnDel().isEnabled());
    Dialog.lbxTime().item(0)->setSelected(true);
    Dialog.lbxTime().item(2)->setSelected(true);
    EXPECT_TRUE(Dialog.btnDel().isEnabled());
    Dialog.btnDelClick();
    EXPECT_EQ(Lines(), QStringList{"01:00"});
    EXPECT_FALSE(Dialog.btnDel().isEnabled());
}

TEST_F(CustomCmdTest, OkGivesTheCountAndTheMinutes) {
    Add(23, 30);
    Add(1, 0);
    Dialog.btnOKClick();
    EXPECT_EQ(Dialog.Result(), "2,60,1410");
    EXPECT_EQ(Dialog.result(), QDialog::Accepted);
}

} // namespace
