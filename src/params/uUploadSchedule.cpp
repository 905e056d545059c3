#include "uUploadSchedule.h"

#include "uParamControls.h"
#include "ui_uFrmMain.h"

#include <QAbstractItemView>
#include <QMouseEvent>
#include <algorithm>
#include <initializer_list>
#include <optional>
#include <utility>

namespace {

const QColor kMarked(0, 255, 0);

QString LabelName(int index) {
    return QString::asprintf("lbl_Main_%.2d%d", index / 2, (index % 2) * 5);
}

// The first point of the day is one minute past midnight, the others full and half hours.
int MinuteOfLabel(int index) {
    return index == 0 ? 1 : index * 30;
}

// Only the 48 minutes the grid can show name a label; any other minute shows nothing, so a
// time the grid cannot hold is never rounded onto a neighbour and written back changed.
std::optional<int> LabelOfMinute(int minute) {
    if (minute == 1) {
        return 0;
    }
    if (minute >= 30 && minute < 24 * 60 && minute % 30 == 0) {
        return minute / 30;
    }
    return std::nullopt;
}

} // namespace

TUploadSchedule::TUploadSchedule(Ui::TFrmMain& ui, QObject* parent) : QObject(parent), FUi(ui) {
    // Row r holds the eight half-hours from hour 4r on.
    constexpr int kPerRow = 8;
    for (int i = 0; i < kTimeLabels; ++i) {
        const int hour = i / 2;
        const int half = i % 2;
        auto* label = new QLabel(ui.pnl_WorkingTime);
        label->setObjectName(LabelName(i));
        label->setText(i == 0 ? QStringLiteral("00:01")
                              : QString::asprintf("%.2d:%.2d", hour, half * 30));
        label->setGeometry((i % kPerRow) * 54, (i / kPerRow) * 24, 52, 22);
        label->setAlignment(Qt::AlignCenter);
        label->setAutoFillBackground(true);
        label->installEventFilter(this);
        FLabels[i] = label;
    }
    using TReaction = void (TUploadSchedule::*)();
    const std::initializer_list<std::pair<QRadioButton*, TReaction>> modes = {
        {ui.RBtn_Main_01, &TUploadSchedule::RBtn_Main_01Click},
        {ui.RBtn_Main_02, &TUploadSchedule::RBtn_Main_02Click},
        {ui.RBtn_Main_03, &TUploadSchedule::RBtn_Main_03Click},
    };
    // "clicked" comes for the selected button too; "toggled" only when the selection changes.
    for (const auto& [button, reaction] : modes) {
        connect(button, &QAbstractButton::toggled, this,
                [this, reaction = reaction](bool selected) {
                    if (selected) {
                        (this->*reaction)();
                    }
                });
    }
    // A combo box reports every choice, the unchanged one too, and only after taking it; the
    // channel before is noted when the user starts to use the list.
    ui.cbUpLoadMode->installEventFilter(this);
    ui.cbUpLoadMode->view()->installEventFilter(this);
}

bool TUploadSchedule::IsChannelList(const QObject* watched) const {
    return watched == FUi.cbUpLoadMode || watched == FUi.cbUpLoadMode->view();
}

void TUploadSchedule::cbUpLoadModeClick(int index) {
    const bool changed = index != FChannelBefore;
    FChannelBefore = kChannelUnknown;
    if (changed) {
        RefreshUploadOptions();
    }
}

bool TUploadSchedule::eventFilter(QObject* watched, QEvent* event) {
    if (IsChannelList(watched)) {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
        case QEvent::Show:
            FChannelBefore = FUi.cbUpLoadMode->currentIndex();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const auto found = std::find(FLabels.begin(), FLabels.end(), watched);
        if (found != FLabels.end()) {
            lbl_Main_XX_Click(**found);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TUploadSchedule::lbl_Main_XX_Click(QLabel& label) {
    if (label.isEnabled()) {
        SetMark(label, !IsMarked(label));
    }
}

void TUploadSchedule::SetMark(QLabel& label, bool marked) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window,
                     marked ? kMarked : FUi.pnl_WorkingTime->palette().color(QPalette::Button));
    label.setPalette(palette);
}

bool TUploadSchedule::IsMarked(const QLabel& label) const {
    return label.palette().color(QPalette::Window) == kMarked;
}

void TUploadSchedule::ResetTimeLabels(bool enabled) {
    for (QLabel* label : FLabels) {
        label->setEnabled(enabled);
        SetMark(*label, false);
    }
}

void TUploadSchedule::ClearTimeLabels() {
    for (QLabel* label : FLabels) {
        SetMark(*label, false);
    }
}

void TUploadSchedule::MarkTimeLabel(const QString& name) {
    const auto found = std::find_if(FLabels.begin(), FLabels.end(), [&](const QLabel* label) {
        return label->objectName() == name;
    });
    if (found != FLabels.end()) {
        SetMark(**found, true);
    }
}

void TUploadSchedule::RBtn_Main_01Click() {
    ResetTimeLabels(false);
    RefreshUploadOptions();
    FUi.pnlKeepAlive->show();
    ShowKeepAlive();
}

void TUploadSchedule::RBtn_Main_02Click() {
    ResetTimeLabels(false);
    RefreshUploadOptions();
    HideKeepAlive();
}

void TUploadSchedule::RBtn_Main_03Click() {
    ResetTimeLabels(true);
    RefreshUploadOptions();
    HideKeepAlive();
}

void TUploadSchedule::HideKeepAlive() {
    FUi.pnlKeepAlive->hide();
    FUi.RCox_KeepAlive->setChecked(false);
}

// Keep-alive is on exactly when the device's last value is above 30 seconds.
void TUploadSchedule::ShowKeepAlive() {
    const bool on = FKeepAliveSeconds > 30;
    FUi.RCox_KeepAlive->setChecked(on);
    FUi.RzSpinEdit_KeepAlive->setValue(on ? FKeepAliveSeconds : kKeepAliveOff);
}

void TUploadSchedule::StoreKeepAlive(int seconds) {
    FKeepAliveSeconds = seconds;
    ShowKeepAlive();
}

void TUploadSchedule::RefreshUploadOptions() {
    QComboBox& interval = *FUi.CBox_UploadingInterval;
    interval.clear();
    switch (FUi.cbUpLoadMode->currentIndex()) {
    case 0: // SMS
        interval.addItems(FUi.RBtn_Main_01->isChecked() ? QStringList{"150", "1800", "3600"}
                                                        : QStringList{"150", "180", "300"});
        interval.setCurrentIndex(0);
        break;
    case 1: // TCP
        interval.addItems({"5", "30", "60", "120"});
        interval.setCurrentIndex(1);
        break;
    default:
        break;
    }
    ApplyStoredTimePoints();
}

void TUploadSchedule::ApplyStoredTimePoints() {
    if (FFixedTimeList.size() < 3 || !FixedTimeSelected()) {
        return;
    }
    const int count = IntOr(FFixedTimeList[2], 0);
    if (count < 1) {
        return;
    }
    ClearTimeLabels();
    for (int i = 1; i <= count && i + 2 < FFixedTimeList.size(); ++i) {
        if (const auto label = LabelOfMinute(IntOr(FFixedTimeList[i + 2], 0))) {
            MarkTimeLabel(LabelName(*label));
        }
    }
}

// The grid runs in the order of the day, so walking it gives the minutes ascending.
TRcdCheckWorkingTime TUploadSchedule::CollectTimePoints() const {
    TRcdCheckWorkingTime points;
    for (int i = 0; i < kTimeLabels; ++i) {
        if (IsMarked(*FLabels[i])) {
            points.Args += QLatin1Char(',') + QString::number(MinuteOfLabel(i));
            ++points.Count;
        }
    }
    return points;
}

int TUploadSchedule::SelectedMode() const {
    if (FUi.RBtn_Main_02->isChecked()) {
        return 3;
    }
    return FixedTimeSelected() ? 2 : 1;
}

bool TUploadSchedule::FixedTimeSelected() const {
    return FUi.RBtn_Main_03->isChecked();
}
