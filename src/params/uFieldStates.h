#pragma once

#include "uBatchOutcome.h"
#include "uFieldMark.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <vector>

namespace Ui {
class TFrmMain;
}
class QAction;
class QWidget;
class TExchangeEngine;
class TGeoFenceModel;

// Marks every control that holds a device setting with how it compares with the device: edited
// here since the device reported it, written but answered with something else, written and
// never answered, or not known since the device restored its factory settings. Replies clear
// the marks of what they report, also when they come late. The mark is a badge (told apart by
// shape) and, in words, the control's tooltip and accessible description.
class TFieldStates : public QObject {
    Q_OBJECT
public:
    TFieldStates(Ui::TFrmMain& ui, TExchangeEngine& engine, TGeoFenceModel& geoFences,
                 QObject* parent = nullptr);

    TFieldMark Mark(const QWidget* control) const;
    // Another line, or none: no control holds anything the device has said.
    void Forget();
    // The texts this class shows, for the language file; those added since.
    static QStringList Texts();
    // The texts of the marks of replies the program cannot use and commands never sent.
    static QStringList FaultTexts();
    // The text of the mark of every setting after a factory reset.
    static QStringList ResetTexts();
    // The text of that mark on a setting the device does not report.
    static QStringList UnreadTexts();

private:
    // One control and the field of a parameter's value (from the third reply field on) that
    // it shows; Field -1 is the whole value.
    struct TBinding {
        int Number = 0;
        int Index = 0; // the record of an indexed parameter (1 to 5), 0 for the others
        int Field = 0;
        QWidget* Control = nullptr;
    };
    struct TState {
        TFieldMark Mark = TFieldMark::None;
        bool Reported = false;
        QString DeviceValue; // the control's value as the device last reported it
        QString UserValue;   // the control's value as the user (or a profile) last set it
        int EditBatch = 0;   // the engine's batch (under way or last) at that moment
        QString BaseToolTip;
        QString BaseDescription;
        QPointer<QAction> Badge; // in line edits
    };

    void Bind(int number, int index, int field, QWidget* control);
    void WatchChanges(QWidget* control);
    void ControlChanged(QWidget* control);
    void CommandAnswered(const TCmdAnswer& answer);
    // An unusable reply or a refused command: the fields it concerns carry why.
    void MarkFault(const TCmdAnswer& answer);
    void BatchChanged(const TBatchOutcome& outcome);
    // Every setting field and fence: until read, nothing in the window is the device's.
    void MarkAllUnknown();
    std::vector<const TBinding*> BindingsOf(const TCmdItem& cmd) const;
    void SetMark(QWidget* control, TFieldMark mark, const QString& text);
    static QString ValueOf(const QWidget* control);
    static void SetValueOf(QWidget* control, const QString& value);

    TExchangeEngine& FEngine;
    TGeoFenceModel& FGeoFences;
    std::vector<TBinding> FBindings;
    QHash<const QWidget*, TState> FStates;
};
