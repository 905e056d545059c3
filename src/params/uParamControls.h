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

using TVipEdits = std::array<QLineEdit*, kVipRows>;
using TAlarmGrid = std::array<std::array<QCheckBox*, kAlarmColumns>, kVipRows>;

TVipEdits VipEdits(Ui::TFrmMain& ui);
// The alarm boxes are made in code, so they are looked up by name ("cbVIP_" row column).
// Throws std::logic_error when one is missing: the window and this layer disagree.
TAlarmGrid AlarmGrid(Ui::TFrmMain& ui);

// "as an integer, with a fallback when it is not one", by the one integer reader.
int IntOr(const QString& text, int fallback);
