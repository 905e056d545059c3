#include "uFieldStates.h"

#include "uExchangeEngine.h"
#include "uGeoFenceModel.h"
#include "uLanguage.h"
#include "uNumbers.h"
#include "uParamCatalogue.h"
#include "uParamControls.h"
#include "uUtils.h"
#include "ui_uFrmMain.h"

#include <QAction>
#include <QLabel>
#include <QTimer>
#include <iterator>

namespace {

const char* const kEditedText = "Changed here. The device holds: %1";
const char* const kDiffersText = "Written: %1. The device holds: %2";
const char* const kUnconfirmedText = "Not confirmed: the device did not answer %1";
const char* const kUnusableText = "The device answered %1, which the program cannot use: %2";
const char* const kRefusedText = "Not sent: %1";
const char* const kUnknownText =
    "Not known since the factory reset: Read All shows what the device holds now";
const char* const kUnreadUnknownText = "Not known since the factory reset, and the device does "
                                       "not report it when read: only writing it makes it known";
const char* const kOnText = "on";
const char* const kOffText = "off";

constexpr int kGeoFenceParam = 8;
constexpr int kFactoryDefault = 20;
constexpr int kRadius = 9; // written only: the device does not report it
constexpr int kWholeValue = -1;

QString Tr(const char* text) {
    return TranslateText(QString::fromLatin1(text));
}

const TParamEntry* EntryOf(const TCmdItem& cmd) {
    const auto key = TParamCatalogue::KeyOfCommand(cmd);
    return key ? TParamCatalogue::Find(*key) : nullptr;
}

QString FieldOf(const QString& value, int field) {
    return field == kWholeValue ? value : SplitArgs(value).value(field);
}

// The index an indexed command names in its first argument; 0 when it has none.
int IndexOf(const TCmdItem& cmd) {
    return TextToInt(SplitArgs(CommandValue(cmd)).value(0)).value_or(0);
}

// The line edit a badge can sit in: the control itself, an editable list's or a spin box's.
QLineEdit* EditOf(QWidget* control) {
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        return edit;
    }
    if (auto* list = qobject_cast<QComboBox*>(control)) {
        return list->lineEdit();
    }
    if (qobject_cast<QAbstractSpinBox*>(control) != nullptr) {
        return control->findChild<QLineEdit*>();
    }
    return nullptr;
}

QString Joined(const QString& base, const QString& text) {
    return base.isEmpty() ? text : base + QLatin1Char('\n') + text;
}

} // namespace

TFieldStates::TFieldStates(Ui::TFrmMain& ui, TExchangeEngine& engine, TGeoFenceModel& geoFences,
                           QObject* parent)
    : QObject(parent), FEngine(engine), FGeoFences(geoFences) {
    Bind(3, 0, 0, ui.txtCenterNumber);
    QWidget* const gprs[] = {ui.txtIPAddress, ui.txtPort, ui.txtAPN, ui.txtAPNUsername,
                             ui.txtAPNPassword};
    for (int field = 0; field < int(std::size(gprs)); ++field) {
        Bind(5, 0, field, gprs[field]);
    }
    Bind(6, 0, 0, ui.CBox_Main_01);
    Bind(10, 0, 0, ui.cboBatteryAlert);
    Bind(12, 0, 0, ui.txtTimeDifferent);
    Bind(14, 0, 0, ui.RzMeter_Volume);
    Bind(17, 0, 0, ui.txtAlias);
    Bind(25, 0, 0, ui.CBox_Main_02);
    Bind(31, 0, 0, ui.txtGSensorParam);
    Bind(34, 0, 0, ui.CBox_Main_03);
    Bind(kRadius, 0, 0, ui.txtRadius);
    Bind(4, 0, 0, ui.CBox_UploadingInterval);
    Bind(4, 0, 1, ui.Cbox_UploadingTimes);
    Bind(4, 0, 2, ui.cbUpLoadMode);
    for (QWidget* mode : {ui.RBtn_Main_01, ui.RBtn_Main_02, ui.RBtn_Main_03}) {
        Bind(7, 0, 0, mode);
    }
    Bind(18, 0, 0, ui.RCox_KeepAlive);
    Bind(18, 0, 0, ui.RzSpinEdit_KeepAlive);
    Bind(21, 0, kWholeValue, ui.pnl_WorkingTime);
    const TVipEdits numbers = VipEdits(ui);
    const TAlarmGrid alarms = AlarmGrid(ui);
    for (int k = 1; k <= kVipRows; ++k) {
        Bind(11, k, 1, numbers[k - 1]);
        for (int column = 0; column < kAlarmColumns; ++column) {
            Bind(22, k, 1 + column, alarms[k - 1][column]);
        }
    }
    connect(&FEngine, &TExchangeEngine::CommandAnswered, this, &TFieldStates::CommandAnswered);
    connect(&FEngine, &TExchangeEngine::BatchChanged, this, &TFieldStates::BatchChanged);
}

QStringList TFieldStates::Texts() {
    return Latin1Texts({kEditedText, kDiffersText, kUnconfirmedText, kOnText, kOffText});
}

QStringList TFieldStates::FaultTexts() {
    return {QString::fromLatin1(kUnusableText), QString::fromLatin1(kRefusedText)};
}

QStringList TFieldStates::ResetTexts() {
    return {QString::fromLatin1(kUnknownText)};
}

QStringList TFieldStates::UnreadTexts() {
    return {QString::fromLatin1(kUnreadUnknownText)};
}

void TFieldStates::Forget() {
    for (const TBinding& binding : FBindings) {
        FStates[binding.Control].Reported = false;
        FStates[binding.Control].DeviceValue.clear();
        SetMark(binding.Control, TFieldMark::None, QString());
    }
    for (int id = 1; id <= kGeoFenceCount; ++id) {
        FGeoFences.SetMark(id, TFieldMark::None, QString());
    }
}

void TFieldStates::MarkAllUnknown() {
    const QString text = Tr(kUnknownText);
    for (const TBinding& binding : FBindings) {
        FStates[binding.Control].Reported = false;
        SetMark(binding.Control, TFieldMark::Unknown,
                binding.Number == kRadius ? Tr(kUnreadUnknownText) : text);
    }
    for (int id = 1; id <= kGeoFenceCount; ++id) {
        FGeoFences.SetMark(id, TFieldMark::Unknown, text);
    }
}

void TFieldStates::Bind(int number, int index, int field, QWidget* control) {
    FBindings.push_back(TBinding{number, index, field, control});
    if (!FStates.contains(control)) {
        FStates.insert(control, TState{});
        WatchChanges(control);
    }
}

void TFieldStates::WatchChanges(QWidget* control) {
    const auto changed = [this, control] { ControlChanged(control); };
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        connect(edit, &QLineEdit::textChanged, this, changed);
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
        connect(list, &QComboBox::currentTextChanged, this, changed);
        connect(list, &QComboBox::editTextChanged, this, changed);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        connect(button, &QAbstractButton::toggled, this, changed);
    } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
        connect(spin, &QSpinBox::valueChanged, this, changed);
    }
}

QString TFieldStates::ValueOf(const QWidget* control) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
        return edit->text();
    }
    if (const auto* list = qobject_cast<const QComboBox*>(control)) {
        return list->currentText();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return Tr(button->isChecked() ? kOnText : kOffText);
    }
    if (const auto* spin = qobject_cast<const QSpinBox*>(control)) {
        return QString::number(spin->value());
    }
    return QString();
}

void TFieldStates::SetValueOf(QWidget* control, const QString& value) {
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(value);
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
        list->setCurrentText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setChecked(value == Tr(kOnText));
    } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
        spin->setValue(value.toInt());
    }
}

TFieldMark TFieldStates::Mark(const QWidget* control) const {
    return FStates.value(control).Mark;
}

// A change made by a reply is what the device reports; any other change is the user's (or a
// profile's) and differs from the device until it is written or the value comes back.
void TFieldStates::ControlChanged(QWidget* control) {
    TState& state = FStates[control];
    const int batch = FEngine.Batch() ? FEngine.Batch()->Serial : 0;
    if (FEngine.HandlingReply()) {
        const bool editedSince =
            state.Mark == TFieldMark::Edited || (batch > 0 && state.EditBatch == batch);
        state.Reported = true;
        state.DeviceValue = ValueOf(control);
        // A reply nobody waits for any more (its batch had stopped) does not undo what the
        // user typed since: the edit comes back once the reply is applied, marked with what
        // the device holds.
        if (!FEngine.HandlingAwaitedReply() && editedSince &&
            state.DeviceValue != state.UserValue) {
            QTimer::singleShot(0, this,
                               [control, value = state.UserValue] { SetValueOf(control, value); });
            return;
        }
        if (state.Mark == TFieldMark::Edited) {
            SetMark(control, TFieldMark::None, QString());
        }
        return;
    }
    state.EditBatch = batch;
    state.UserValue = ValueOf(control);
    if (!state.Reported) {
        return;
    }
    if (ValueOf(control) != state.DeviceValue) {
        SetMark(control, TFieldMark::Edited, Tr(kEditedText).arg(state.DeviceValue));
    } else if (state.Mark == TFieldMark::Edited) {
        SetMark(control, TFieldMark::None, QString());
    }
}

std::vector<const TFieldStates::TBinding*> TFieldStates::BindingsOf(const TCmdItem& cmd) const {
    std::vector<const TBinding*> found;
    if (cmd.Kind != kCmdParam) {
        return found;
    }
    const int index = IndexOf(cmd);
    for (const TBinding& binding : FBindings) {
        if (binding.Number == cmd.ParamNo && (binding.Index == 0 || binding.Index == index)) {
            found.push_back(&binding);
        }
    }
    return found;
}

// A fault of one field marks that field, one of the whole value (or a reply that could not be
// applied at all) every field of the command. Unusable values stay shown as they came.
void TFieldStates::MarkFault(const TCmdAnswer& answer) {
    const bool refused = answer.State == TCmdState::Refused;
    const QString why = EscapeControls(answer.Fault);
    const QString text =
        refused ? Tr(kRefusedText).arg(why)
                : Tr(kUnusableText)
                      .arg(EscapeControls(QString::fromLatin1(answer.Reply.left(80))), why);
    if (answer.Cmd.ParamNo == kGeoFenceParam && answer.Cmd.Kind == kCmdParam) {
        FGeoFences.SetMark(IndexOf(answer.Cmd), TFieldMark::Differs, text);
        return;
    }
    const TParamEntry* entry = EntryOf(answer.Cmd);
    const QString value = refused ? CommandValue(answer.Cmd) : ReplyValue(answer.Reply);
    const auto fault = !entry    ? std::nullopt
                       : refused ? TParamCatalogue::CheckValue(*entry, value)
                                 : TParamCatalogue::CheckReply(answer.Reply);
    for (const TBinding* binding : BindingsOf(answer.Cmd)) {
        const TFieldRule* rule = entry ? entry->Rule(binding->Field) : nullptr;
        const bool concerned = !fault || fault->Field == nullptr || rule == nullptr ||
                               rule->Check(FieldOf(value, binding->Field), entry->Index);
        if (concerned) {
            SetMark(binding->Control, TFieldMark::Differs, text);
        }
    }
}

void TFieldStates::CommandAnswered(const TCmdAnswer& answer) {
    if (answer.Cmd.ParamNo == kFactoryDefault && answer.Cmd.Kind == kCmdParam) {
        MarkAllUnknown();
        return;
    }
    if (answer.State == TCmdState::Unusable || answer.State == TCmdState::Refused) {
        MarkFault(answer);
        return;
    }
    const QString sent = CommandValue(answer.Cmd);
    const QString held = ReplyValue(answer.Reply);
    const TParamEntry* entry = EntryOf(answer.Cmd);
    const auto differs = [&](int field) {
        if (answer.State != TCmdState::Differs) {
            return false;
        }
        if (field == kWholeValue || entry == nullptr) {
            return true;
        }
        return !TParamCatalogue::SameField(*entry, field, FieldOf(sent, field),
                                           FieldOf(held, field));
    };
    const auto differsText = [&](int field) {
        return Tr(kDiffersText).arg(FieldOf(sent, field), FieldOf(held, field));
    };
    if (answer.Cmd.ParamNo == kGeoFenceParam && answer.Cmd.Kind == kCmdParam) {
        const int id = IndexOf(answer.Cmd);
        FGeoFences.SetMark(id, differs(kWholeValue) ? TFieldMark::Differs : TFieldMark::None,
                           differsText(kWholeValue));
        return;
    }
    for (const TBinding* binding : BindingsOf(answer.Cmd)) {
        TState& state = FStates[binding->Control];
        state.Reported = true;
        state.DeviceValue = ValueOf(binding->Control);
        if (differs(binding->Field)) {
            SetMark(binding->Control, TFieldMark::Differs, differsText(binding->Field));
        } else {
            SetMark(binding->Control, TFieldMark::None, QString());
        }
    }
}

// A write a stopped batch sent and never got an answer to stays unconfirmed until the value is
// read or written again, or its answer comes late. Writes never sent keep their marks.
void TFieldStates::BatchChanged(const TBatchOutcome& outcome) {
    if (outcome.NotAnswered() == 0) {
        return;
    }
    for (const TCmdItem& cmd : outcome.Pending.first(1)) {
        if (cmd.RW == kCmdRead || cmd.Kind != kCmdParam) {
            continue;
        }
        const QString text = Tr(kUnconfirmedText).arg(QString::fromLatin1(CommandText(cmd)));
        if (cmd.ParamNo == kGeoFenceParam) {
            FGeoFences.SetMark(IndexOf(cmd), TFieldMark::Unconfirmed, text);
        }
        for (const TBinding* binding : BindingsOf(cmd)) {
            SetMark(binding->Control, TFieldMark::Unconfirmed, text);
        }
    }
}

void TFieldStates::SetMark(QWidget* control, TFieldMark mark, const QString& text) {
    TState& state = FStates[control];
    if (state.Mark == TFieldMark::None && mark != TFieldMark::None) {
        state.BaseToolTip = control->toolTip();
        state.BaseDescription = control->accessibleDescription();
    }
    if (mark == TFieldMark::None) {
        if (state.Mark != TFieldMark::None) {
            control->setToolTip(state.BaseToolTip);
            control->setAccessibleDescription(state.BaseDescription);
        }
    } else {
        control->setToolTip(Joined(state.BaseToolTip, text));
        control->setAccessibleDescription(Joined(
            state.BaseDescription.isEmpty() ? state.BaseToolTip : state.BaseDescription, text));
    }
    state.Mark = mark;

    const QIcon icon = FieldMarkIcon(mark);
    if (QLineEdit* edit = EditOf(control)) {
        if (!state.Badge) {
            state.Badge = edit->addAction(icon, QLineEdit::TrailingPosition);
        }
        state.Badge->setIcon(icon);
        state.Badge->setText(text);
        state.Badge->setToolTip(text);
        state.Badge->setVisible(mark != TFieldMark::None);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setIcon(icon);
    } else {
        // Panels and meters: a badge in the top right corner.
        auto* badge =
            control->findChild<QLabel*>(QStringLiteral("markBadge"), Qt::FindDirectChildrenOnly);
        if (badge == nullptr) {
            badge = new QLabel(control);
            badge->setObjectName(QStringLiteral("markBadge"));
            badge->setGeometry(control->width() - 16, 1, 14, 14);
        }
        badge->setPixmap(icon.pixmap(14, 14));
        badge->setToolTip(text);
        badge->setAccessibleName(text);
        badge->setVisible(mark != TFieldMark::None);
        badge->raise();
    }
}
