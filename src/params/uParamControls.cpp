#include "uParamControls.h"

#include "uNumbers.h"
#include "ui_uFrmMain.h"

#include <QCheckBox>
#include <stdexcept>

TVipEdits VipEdits(Ui::TFrmMain& ui) {
    return {ui.edtVIP_1, ui.edtVIP_2, ui.edtVIP_3, ui.edtVIP_4, ui.edtVIP_5};
}

TAlarmGrid AlarmGrid(Ui::TFrmMain& ui) {
    TAlarmGrid grid{};
    for (int row = 0; row < kVipRows; ++row) {
        for (int column = 0; column < kAlarmColumns; ++column) {
            const QString name = QStringLiteral("cbVIP_%1%2").arg(row + 1).arg(column + 1);
            auto* box = ui.pnl_CheckAlarm->findChild<QCheckBox*>(name);
            if (box == nullptr) {
                throw std::logic_error("missing alarm box " + name.toStdString());
            }
            grid[row][column] = box;
        }
    }
    return grid;
}

int IntOr(const QString& text, int fallback) {
    return TextToInt(text).value_or(fallback);
}
