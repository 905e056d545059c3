#include "uReplyHandler.h"

#include "uExchangeEngine.h"
#include "uLanguage.h"
#include "uNumbers.h"
#include "uParamCatalogue.h"
#include "uParamControls.h"
#include "uUploadSchedule.h"
#include "uUtils.h"
#include "ui_uFrmMain.h"

#include <algorithm>
#include <initializer_list>
#include <string>

namespace {

using TEditMember = QLineEdit* Ui::TFrmMain::*;
using TBoxMember = QCheckBox* Ui::TFrmMain::*;

// Parameters whose values go as received into line edits, from f2 on.
struct TTextRow {
    int Number;
    std::initializer_list<TEditMember> Edits;
};
const TTextRow kTextRows[] = {
    {3, {&Ui::TFrmMain::txtCenterNumber}},
    {5,
     {&Ui::TFrmMain::txtIPAddress, &Ui::TFrmMain::txtPort, &Ui::TFrmMain::txtAPN,
      &Ui::TFrmMain::txtAPNUsername, &Ui::TFrmMain::txtAPNPassword}},
    {9, {&Ui::TFrmMain::txtRadius}},
    {12, {&Ui::TFrmMain::txtTimeDifferent}},
    {17, {&Ui::TFrmMain::txtAlias}},
    {31, {&Ui::TFrmMain::txtGSensorParam}},
};

// On/off parameters: only "0" means off.
struct TSwitchRow {
    int Number;
    TBoxMember Box;
};
const TSwitchRow kSwitchRows[] = {
    {6, &Ui::TFrmMain::CBox_Main_01},
    {25, &Ui::TFrmMain::CBox_Main_02},
    {34, &Ui::TFrmMain::CBox_Main_03},
};

const QString& Field(const QStringList& fields, int index) {
    if (index >= fields.size()) {
        throw TReplyError("the reply has no field " + std::to_string(index));
    }
    return fields[index];
}

int StrictInt(const QString& text) {
    const auto value = TextToInt(text);
    if (!value) {
        throw TReplyError("not an integer: " + text.toStdString());
    }
    return *value;
}

int FieldIntOr(const QStringList& fields, int index, int fallback) {
    return IntOr(Field(fields, index), fallback);
}

// A value label of the top panel is named by its caption; a screen reader reads what it shows
// in its description.
void ShowValue(QLabel& label, const QString& text) {
    label.setText(text);
    label.setAccessibleDescription(text);
}

} // namespace

TReplyHandler::TReplyHandler(Ui::TFrmMain& ui, TExchangeEngine& engine, TUploadSchedule& schedule,
                             TGeoFenceList& geoFences, std::function<void()> repaintGeoFences,
                             QObject* parent)
    : QObject(parent), FUi(ui), FEngine(engine), FSchedule(schedule), FGeoFences(geoFences),
      FRepaintGeoFences(std::move(repaintGeoFences)) {
    tmBatteyCharging.setInterval(1000);
    connect(&tmBatteyCharging, &QTimer::timeout, this, &TReplyHandler::tmBatteyChargingTimer);
}

void TReplyHandler::HandleReply(const QByteArray& reply) {
    if (reply.isEmpty()) {
        return;
    }
    // A reply without its parameter's layout is applied nowhere, not even in part.
    if (const auto fault = TParamCatalogue::CheckReply(reply); fault && fault->Field == nullptr) {
        throw TReplyError(fault->Message().toStdString());
    }
    const QString inner =
        reply.size() >= 2 ? QString::fromLatin1(reply.mid(1, reply.size() - 2)) : QString();
    const QStringList fields = SplitArgs(inner);

    const QString& identity = Field(fields, 0);
    if (TextToInt64(identity).value_or(-1) >= 0) {
        FUi.RzMeter_LED->SetText(identity);
    }
    const QString& name = Field(fields, 1);
    if (name == QLatin1String("T01")) {
        HandleStatusReport(fields);
        return;
    }
    // The letter is not checked: a "T" with another number is that parameter's reply.
    HandleParameter(IntOr(name.mid(1), 0), fields);
    FEngine.NextCmd();
}

void TReplyHandler::HandleStatusReport(const QStringList& fields) {
    ShowValue(*FUi.lblAnotherName, Field(fields, 3));
    SetGpsLevel(StrictInt(Field(fields, 4)));
    SetGsmLevel(StrictInt(Field(fields, 5)));
    ShowBatteryLevel(StrictInt(Field(fields, 6)));
    FEngine.NextCmd();
    if (!tmBatteyCharging.isActive()) {
        tmBatteyCharging.start(); // a running animation keeps its beat
    }
}

void TReplyHandler::HandleParameter(int number, const QStringList& fields) {
    for (const TTextRow& row : kTextRows) {
        if (row.Number == number) {
            int index = 2;
            for (TEditMember edit : row.Edits) {
                (FUi.*edit)->setText(Field(fields, index++));
            }
            return;
        }
    }
    for (const TSwitchRow& row : kSwitchRows) {
        if (row.Number == number) {
            (FUi.*row.Box)->setChecked(Field(fields, 2) != QLatin1String("0"));
            return;
        }
    }
    switch (number) {
    case 1:
        ShowValue(*FUi.lblVersion, Field(fields, 2));
        break;
    case 4:
        HandleUploading(fields);
        break;
    case 7:
        HandleMode(fields);
        break;
    case 8:
        HandleGeoFence(fields);
        break;
    case 10:
        FUi.cboBatteryAlert->setEditText(Field(fields, 2));
        break;
    case 11:
        HandleVipNumber(fields);
        break;
    case 14:
        SetVolumeLevel(FieldIntOr(fields, 2, 0));
        break;
    case 16:
        if (const int percent = FieldIntOr(fields, 2, -1); percent >= 0) {
            ShowBatteryLevel(percent);
        }
        break;
    case 18:
        FSchedule.StoreKeepAlive(FieldIntOr(fields, 2, 0));
        break;
    case 21:
        HandleTimePoints(fields);
        break;
    case 22:
        ShowAlarmFlags(fields);
        break;
    default:
        break; // factory default and numbers the program does not use set nothing
    }
}

// The channel comes first; the interval list is not rebuilt, the interval is shown as sent.
void TReplyHandler::HandleUploading(const QStringList& fields) {
    const int channel = FieldIntOr(fields, 4, 0);
    QComboBox& mode = *FUi.cbUpLoadMode;
    mode.setCurrentIndex(channel >= 0 && channel < mode.count() ? channel : -1);
    FUi.CBox_UploadingInterval->setEditText(Field(fields, 2));
    const QString& times = Field(fields, 3);
    if (times == QLatin1String("0")) {
        FUi.Cbox_UploadingTimes->setCurrentIndex(0);
    } else {
        FUi.Cbox_UploadingTimes->setEditText(times);
    }
}

// Selecting a mode reacts as the user's click would, through the schedule's reaction to the
// button becoming selected; the selected one reacts no further.
void TReplyHandler::HandleMode(const QStringList& fields) {
    QRadioButton* button = nullptr;
    switch (FieldIntOr(fields, 2, 0)) {
    case 1:
        button = FUi.RBtn_Main_01;
        break;
    case 2:
        button = FUi.RBtn_Main_03;
        break;
    case 3:
        button = FUi.RBtn_Main_02;
        break;
    default:
        return;
    }
    button->setChecked(true);
}

// Every field is read before anything is stored, so a short reply leaves the fence unchanged.
void TReplyHandler::HandleGeoFence(const QStringList& fields) {
    const int number = FieldIntOr(fields, 2, 0);
    if (number < 1 || number > static_cast<int>(FGeoFences.size())) {
        throw TReplyError("geo-fence number outside the table: " + std::to_string(number));
    }
    TGeoFence& fence = FGeoFences[number - 1];
    fence.Name = Field(fields, 7);
    fence.LTLongitude = CoordToDegrees(Field(fields, 3));
    fence.LTLatitude = CoordToDegrees(Field(fields, 4));
    fence.RBLongitude = CoordToDegrees(Field(fields, 5));
    fence.RBLatitude = CoordToDegrees(Field(fields, 6));
    if (FRepaintGeoFences) {
        FRepaintGeoFences();
    }
}

void TReplyHandler::HandleVipNumber(const QStringList& fields) {
    const int k = FieldIntOr(fields, 2, -1);
    if (k >= 1 && k <= kVipRows) {
        VipEdits(FUi)[k - 1]->setText(Field(fields, 3));
    }
}

void TReplyHandler::HandleTimePoints(const QStringList& fields) {
    FSchedule.StoreTimePoints(fields);
    if (FSchedule.FixedTimeSelected()) {
        Field(fields, 2); // the count must be there once the grid shows it
        FSchedule.ApplyStoredTimePoints();
    }
}

// Unlike the on/off parameters, an alarm flag is on only for the text "1".
void TReplyHandler::ShowAlarmFlags(const QStringList& fields) {
    const int k = FieldIntOr(fields, 2, -1);
    if (k < 1 || k > kVipRows) {
        return;
    }
    const TAlarmGrid grid = AlarmGrid(FUi);
    for (int column = 0; column < kAlarmColumns; ++column) {
        grid[k - 1][column]->setChecked(Field(fields, 3 + column) == QLatin1String("1"));
    }
}

void TReplyHandler::SetGpsLevel(int level) {
    FUi.RzMeter_GPS->SetValue(std::min(level, 5));
}

void TReplyHandler::SetGsmLevel(int level) {
    FUi.RzMeter_GSM->SetValue(std::min(level / 6, 5));
}

void TReplyHandler::SetVolumeLevel(int level) {
    FVolumeLevel = level;
    FUi.RzMeter_Volume->SetValue(level);
}

void TReplyHandler::tmBatteyChargingTimer() {
    FUi.RzMeter_Battery->SetValue(FChargingLevel);
    FChargingLevel += 20;
    if (FChargingLevel >= 120) {
        FChargingLevel = 0;
    }
}

// The charging animation changes the bar; the reported level stays written on it.
void TReplyHandler::ShowBatteryLevel(int percent) {
    FUi.RzMeter_Battery->SetValue(percent);
    FUi.RzMeter_Battery->SetPercentReading(percent);
}

void TReplyHandler::StopCharging() {
    tmBatteyCharging.stop();
    FChargingLevel = 0;
    FUi.RzMeter_Battery->SetValue(0);
    FUi.RzMeter_Battery->SetPercentReading(-1);
}

void TReplyHandler::ForgetDevice() {
    StopCharging();
    FUi.RzMeter_LED->SetText(QStringLiteral("0000000000"));
    ShowValue(*FUi.lblAnotherName, QString());
    ShowValue(*FUi.lblVersion, QStringLiteral("xxxxxxxx"));
    SetGpsLevel(0);
    SetGsmLevel(0);
}
