#pragma once

#include "uFieldRule.h"

#include <QPointer>
#include <QValidator>
#include <vector>

namespace Ui {
class TFrmMain;
}
class QLineEdit;
class QWidget;

// Keeps a field from taking, by typing or by pasting, what its parameter's rule refuses: the
// edit does not happen, a tooltip pops up at the field with the reason, and the field's tooltip
// and accessible description carry it until the next edit is taken. Deleting is always allowed,
// so a value the device reported as it came can be mended. Text the program sets (replies,
// profiles) is not checked here.
class TFieldGuard : public QValidator {
    Q_OBJECT
public:
    // control: a line edit or an editable list.
    TFieldGuard(const TFieldRule& rule, int index, QWidget* control);

    State validate(QString& input, int& pos) const override;

    // The reason of the last refused edit; empty after an edit that was taken.
    const QString& Refusal() const { return FRefusal; }

private:
    void Refuse(const QString& reason) const;
    void ShowReason(const QString& reason) const;

    const TFieldRule& FRule;
    int FIndex = 0;
    QPointer<QWidget> FControl;
    QPointer<QLineEdit> FEdit;
    QString FShown; // the field's text before the edit being checked
    mutable QString FRefusal;
    // The texts the reason was added to, and what they were with it.
    mutable QString FBaseToolTip;
    mutable QString FBaseDescription;
    mutable QString FShownToolTip;
    mutable QString FShownDescription;
};

// A window field that holds one field of a parameter's value.
struct TGuardedField {
    QWidget* Control = nullptr;
    const char* Key = ""; // "P05", "P11.3"
    int Field = 0;        // 0 is the value's first field
};

// Every field of the window that holds a parameter value, with its rule.
std::vector<TGuardedField> GuardedFields(Ui::TFrmMain& ui);
// Gives each of them its guard.
void InstallFieldGuards(Ui::TFrmMain& ui);
