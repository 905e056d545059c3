#pragma once

#include <QString>
#include <array>
#include <optional>

namespace Ui {
class TFrmMain;
}
class QCheckBox;
class QLineEdit;
class QTimer;

// The repeated rows of the window that several parameter operations walk: the five
// authorised numbers and their alarm boxes.
inline constexpr int kVipRows = 5;
inline constexpr int kAlarmColumns = 4; // geo-fence, self geo-fence, SOS, battery

// The alarms of each authorised number, in the order of the device's flags (untranslated).
inline constexpr std::array<const char*, kAlarmColumns> kAlarmTexts = {
    "Geofence Alarm", "Self Geofence Alarm", "SOS Alarm", "Battery Alarm"};

using TVipEdits = std::array<QLineEdit*, kVipRows>;
using TAlarmGrid = std::array<std::array<QCheckBox*, kAlarmColumns>, kVipRows>;

TVipEdits VipEdits(Ui::TFrmMain& ui);
// Makes the alarm boxes, all ticked, on the row of each number, named "cbVIP_" row column; a
// keyboard user goes through each row (the number, then its alarms), and "Select All" is
// ticked exactly when every box is.
void CreateAlarmGrid(Ui::TFrmMain& ui);
// The alarm boxes, looked up by name. Throws std::logic_error when one is missing: the window
// and this layer disagree.
TAlarmGrid AlarmGrid(Ui::TFrmMain& ui);

// "as an integer, with a fallback when it is not one", by the one integer reader.
int IntOr(const QString& text, int fallback);
