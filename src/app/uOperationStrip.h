#pragma once

#include "uBatchOutcome.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace Ui {
class TFrmMain;
}
class ICommPort;
class IMessageService;
class QLabel;
class QPushButton;
class QWidget;
class TExchangeEngine;

// The strip under the device status, always in view: what runs, how each operation ended (who
// stopped it, writes and reads counted apart), and Resume and Cancel for a stopped batch. An
// operation the user started gets one notice ("Operation success !") at its very end, when it
// fully succeeded and "show tip message" is ticked; the batches of a longer operation (the
// reads of a Restore, a Back up before its file is saved) are its steps and tell no end of their
// own. Every outcome, cancel, resume, differing write and late answer also goes into the day
// log.
class TOperationStrip : public QObject {
    Q_OBJECT
public:
    using TDayLog = std::function<void(const QString& line)>;

    TOperationStrip(QWidget& window, Ui::TFrmMain& ui, TExchangeEngine& engine, ICommPort& port,
                    IMessageService& messages, TDayLog dayLog);

    // The captions of Resume and Cancel, among the window's first added texts.
    static QStringList ButtonTexts();
    // The texts the strip has added since, for the language file.
    static QStringList Texts();
    void ApplyTexts();

    // A user operation of several steps starts: its batches show their progress, and End
    // tells how it ended, once.
    void BeginOperation();
    // What an operation adds to the account of the batch it ended with ("Nothing was saved."),
    // asked again when a late answer changes that account.
    using TTrailer = std::function<QString()>;

    // Shows and logs how the operation ended; with success, the notice when tips are on. An
    // empty text leaves the line as it is (another operation has taken it over).
    void EndOperation(const QString& text, bool succeeded, TTrailer trailer = {});
    // The device left a command unanswered and the operation sends it again: said until the
    // batch moves on or ends.
    void ShowRetry(const QString& text);
    // Where a running operation stands between its batches.
    void ShowStep(const QString& text);
    bool OperationRunning() const { return FOperation; }
    // One line of the day log: what happened and its details.
    void LogEvent(const char* what, const QString& text);
    // The day log could not be written: said once in the window.
    void NoteDayLogError(const QString& path, const QString& error);
    void UpdateButtons();
    QString Text() const;

    void btnResumeClick();
    void btnCancelBatchClick();

private:
    void BatchChanged(const TBatchOutcome& outcome);
    void CommandAnswered(const TCmdAnswer& answer);
    void ShowNotice();

    QWidget& FWindow;
    Ui::TFrmMain& FUi;
    TExchangeEngine& FEngine;
    ICommPort& FPort;
    IMessageService& FMessages;
    TDayLog FDayLog;
    QLabel* FOutcome = nullptr;
    QPushButton* FResume = nullptr;
    QPushButton* FCancelBatch = nullptr;
    bool FOperation = false;
    QString FNote;          // what a completed batch adds to its line (the factory default's)
    TTrailer FTrailer;      // what the ended operation adds to its last batch's line
    QString FRetry;         // the command being sent again, while it is
    int FRetryAnswered = 0; // the batch's count of answers when it was
    int FSerial = 0;        // the batch last reported
    bool FRunning = false;  // the last batch reported was under way
    bool FDayLogNoted = false;
};
