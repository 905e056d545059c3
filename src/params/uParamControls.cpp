#include "uParamControls.h"

#include "uNumbers.h"
#include "ui_uFrmMain.h"

#include <QCheckBox>
#include <QFrame>
#include <stdexcept>

TVipEdits VipEdits(Ui::TFrmMain& ui) {
    return {ui.edtVIP_1, ui.edtVIP_2, ui.edtVIP_3, ui.edtVIP_4, ui.edtVIP_5};
}

void CreateAlarmGrid(Ui::TFrmMain& ui) {
    const TVipEdits numbers = VipEdits(ui);
    QWidget* previous = numbers[0];
    for (int row = 0; row < kVipRows; ++row) {
        const int y = 10 + 40 * row;
        auto* line = new QFrame(ui.pnl_CheckAlarm); // a thin line behind each row
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        line->setGeometry(0, y + 26, ui.pnl_CheckAlarm->width(), 2);
        if (row > 0) {
            QWidget::setTabOrder(previous, numbers[row]);
            previous = numbers[row];
        }
        for (int alarm = 0; alarm < kAlarmColumns; ++alarm) {
            auto* box = new QCheckBox(QString::fromLatin1(kAlarmTexts[alarm]), ui.pnl_CheckAlarm);
            box->setObjectName(QStringLiteral("cbVIP_%1%2").arg(row + 1).arg(alarm + 1));
            box->setGeometry(alarm * 150, y, 146, 24);
            box->setChecked(true);
            QWidget::setTabOrder(previous, box);
            previous = box;
        }
    }
    QWidget::setTabOrder(previous, ui.CBox_CheckAll);
    const TAlarmGrid grid = AlarmGrid(ui);
    QCheckBox* selectAll = ui.CBox_CheckAll;
    for (const auto& row : grid) {
        for (QCheckBox* box : row) {
            QObject::connect(box, &QAbstractButton::toggled, selectAll, [selectAll, grid] {
                bool all = true;
                for (const auto& boxes : grid) {
                    for (const QCheckBox* each : boxes) {
                        all = all && each->isChecked();
                    }
                }
                selectAll->setChecked(all);
            });
        }
    }
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
