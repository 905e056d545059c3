#include "uFieldGuard.h"

#include "uLanguage.h"
#include "uParamCatalogue.h"
#include "uParamControls.h"
#include "ui_uFrmMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolTip>

namespace {

// The new text is the old one with one stretch taken out.
bool IsDeletion(const QString& before, const QString& after) {
    if (after.size() >= before.size()) {
        return false;
    }
    qsizetype same = 0;
    while (same < after.size() && after[same] == before[same]) {
        ++same;
    }
    return QStringView(before).right(after.size() - same) == QStringView(after).sliced(same);
}

QLineEdit* EditOf(QWidget* control) {
    if (auto* list = qobject_cast<QComboBox*>(control)) {
        return list->lineEdit();
    }
    return qobject_cast<QLineEdit*>(control);
}

// What a text stands for: an entry of a list that carries a value (its display text says
// "all the time", its value is 0) stands for that value; any other text for itself.
QString ValueOf(const QWidget* control, const QString& text) {
    if (const auto* list = qobject_cast<const QComboBox*>(control)) {
        const int entry = list->findText(text, Qt::MatchExactly);
        if (entry >= 0 && list->itemData(entry).isValid()) {
            return list->itemData(entry).toString();
        }
    }
    return text;
}

} // namespace

TFieldGuard::TFieldGuard(const TFieldRule& rule, int index, QWidget* control)
    : QValidator(control), FRule(rule), FIndex(index), FControl(control), FEdit(EditOf(control)) {
    // The edit has changed its text already when it asks; what it was comes from here.
    if (FEdit) {
        FShown = FEdit->text();
        connect(FEdit, &QLineEdit::textChanged, this,
                [this](const QString& text) { FShown = text; });
    }
}

QValidator::State TFieldGuard::validate(QString& input, int& pos) const {
    Q_UNUSED(pos);
    const QString value = ValueOf(FControl.data(), input);
    if (input == FShown || IsDeletion(FShown, input)) {
        return FRule.Check(value, FIndex) ? Intermediate : Acceptable;
    }
    if (const auto fault = FRule.CheckTyping(value, FIndex)) {
        Refuse(fault->Reason(::TranslateText));
        return Invalid;
    }
    if (!FRefusal.isEmpty()) {
        FRefusal.clear();
        ShowReason(QString());
    }
    return FRule.Check(value, FIndex) ? Intermediate : Acceptable;
}

void TFieldGuard::Refuse(const QString& reason) const {
    FRefusal = reason;
    ShowReason(reason);
    if (FEdit) {
        QToolTip::showText(FEdit->mapToGlobal(QPoint(0, FEdit->height())), reason, FEdit);
    }
}

// The reason goes after the field's own texts; what others set meanwhile is left alone.
void TFieldGuard::ShowReason(const QString& reason) const {
    if (!FControl) {
        return;
    }
    const bool ours = FControl->toolTip() == FShownToolTip &&
                      FControl->accessibleDescription() == FShownDescription &&
                      !FShownToolTip.isEmpty();
    if (!ours) {
        FBaseToolTip = FControl->toolTip();
        FBaseDescription = FControl->accessibleDescription();
    }
    if (reason.isEmpty()) {
        if (ours) {
            FControl->setToolTip(FBaseToolTip);
            FControl->setAccessibleDescription(FBaseDescription);
        }
        FShownToolTip.clear();
        FShownDescription.clear();
        return;
    }
    const auto joined = [&reason](const QString& base) {
        return base.isEmpty() ? reason : base + QLatin1Char('\n') + reason;
    };
    FShownToolTip = joined(FBaseToolTip);
    FShownDescription = joined(FBaseDescription);
    FControl->setToolTip(FShownToolTip);
    FControl->setAccessibleDescription(FShownDescription);
}

std::vector<TGuardedField> GuardedFields(Ui::TFrmMain& ui) {
    std::vector<TGuardedField> fields = {
        {ui.txtCenterNumber, "P03", 0},
        {ui.txtAlias, "P17", 0},
        {ui.cboBatteryAlert, "P10", 0},
        {ui.txtTimeDifferent, "P12", 0},
        {ui.txtGSensorParam, "P31", 0},
        {ui.txtIPAddress, "P05", 0},
        {ui.txtPort, "P05", 1},
        {ui.txtAPN, "P05", 2},
        {ui.txtAPNUsername, "P05", 3},
        {ui.txtAPNPassword, "P05", 4},
        {ui.CBox_UploadingInterval, "P04", 0},
        {ui.Cbox_UploadingTimes, "P04", 1},
        {ui.txtRadius, "P09", 0},
        {ui.txtGeofenceName, "P08.1", 5},
    };
    static const char* const kVipKeys[kVipRows] = {"P11.1", "P11.2", "P11.3", "P11.4", "P11.5"};
    const TVipEdits vips = VipEdits(ui);
    for (int k = 0; k < kVipRows; ++k) {
        fields.push_back({vips[k], kVipKeys[k], 1});
    }
    return fields;
}

void InstallFieldGuards(Ui::TFrmMain& ui) {
    for (const TGuardedField& field : GuardedFields(ui)) {
        const QString key = QString::fromLatin1(field.Key);
        const TParamEntry* entry = TParamCatalogue::Find(key);
        QLineEdit* edit = EditOf(field.Control);
        if (entry == nullptr || edit == nullptr) {
            continue;
        }
        edit->setValidator(new TFieldGuard(*entry->Rule(field.Field), entry->Index, field.Control));
    }
}
