#include "uOperationStrip.h"

#include "uCommPort.h"
#include "uExchangeEngine.h"
#include "uLanguage.h"
#include "uMessageService.h"
#include "uUtils.h"
#include "ui_uFrmMain.h"

#include <QLabel>
#include <QPushButton>

namespace {

const char* const kResumeText = "Resume [&R]";
const char* const kCancelBatchText = "Cancel";
const char* const kPortErrorCaption = "ERROR"; // shown as it stands, untranslated

const char* const kResumeToolTip = "Send the command the device did not answer again, and go on";
const char* const kCancelToolTip = "Drop the rest of the stopped or running operation";
const char* const kFactoryNote =
    "The device has restored its factory settings; Read All [Alt+A] shows its new values.";
const char* const kRadiusNote =
    "The device does not report the radius when read: its echo is the only confirmation.";
const char* const kDayLogError = "The day log %1 cannot be written: %2. The transcripts in "
                                 "the window still show every line.";
const char* const kDayLogCaption = "Day log";

constexpr int kTop = 105;
constexpr int kHeight = 16;
constexpr int kBarWidth = 180;
constexpr int kButtonWidth = 90;
constexpr int kFactoryDefault = 20;
constexpr int kRadius = 9;

QString Tr(const char* text) {
    return TranslateText(QString::fromLatin1(text));
}

} // namespace

TOperationStrip::TOperationStrip(QWidget& window, Ui::TFrmMain& ui, TExchangeEngine& engine,
                                 ICommPort& port, IMessageService& messages, TDayLog dayLog)
    : QObject(&window), FWindow(window), FUi(ui), FEngine(engine), FPort(port), FMessages(messages),
      FDayLog(std::move(dayLog)) {
    // The progress bar keeps the left of the strip; the line and its two buttons take the rest.
    const int width = window.width();
    ui.rgbBar->setGeometry(0, kTop, kBarWidth, kHeight);
    QFont small = window.font();
    small.setPixelSize(11);
    FOutcome = new QLabel(&window);
    FOutcome->setObjectName(QStringLiteral("lblOutcome"));
    FOutcome->setGeometry(kBarWidth + 6, kTop, width - kBarWidth - 2 * kButtonWidth - 12, kHeight);
    FOutcome->setFont(small);
    FOutcome->setTextInteractionFlags(Qt::TextSelectableByMouse);
    FResume = new QPushButton(&window);
    FResume->setObjectName(QStringLiteral("btnResume"));
    FCancelBatch = new QPushButton(&window);
    FCancelBatch->setObjectName(QStringLiteral("btnCancelBatch"));
    int x = width - 2 * kButtonWidth - 2;
    for (QPushButton* button : {FResume, FCancelBatch}) {
        button->setGeometry(x, kTop - 1, kButtonWidth - 2, kHeight + 2);
        button->setFont(small);
        button->setEnabled(false);
        x += kButtonWidth;
    }
    connect(FResume, &QPushButton::clicked, this, &TOperationStrip::btnResumeClick);
    connect(FCancelBatch, &QPushButton::clicked, this, &TOperationStrip::btnCancelBatchClick);
    connect(&engine, &TExchangeEngine::BatchChanged, this, &TOperationStrip::BatchChanged);
    connect(&engine, &TExchangeEngine::CommandAnswered, this, &TOperationStrip::CommandAnswered);
}

QStringList TOperationStrip::ButtonTexts() {
    return {QString::fromLatin1(kResumeText), QString::fromLatin1(kCancelBatchText)};
}

QStringList TOperationStrip::Texts() {
    return Latin1Texts({kResumeToolTip, kCancelToolTip, kFactoryNote, kRadiusNote, kDayLogError,
                        kDayLogCaption, "Outcome", "Late answer", "Differs", "Resume",
                        "Line lost"});
}

void TOperationStrip::ApplyTexts() {
    FResume->setText(Tr(kResumeText));
    FCancelBatch->setText(Tr(kCancelBatchText));
    FResume->setToolTip(Tr(kResumeToolTip));
    FCancelBatch->setToolTip(Tr(kCancelToolTip));
}

QString TOperationStrip::Text() const {
    return FOutcome->text();
}

void TOperationStrip::BeginOperation() {
    FOperation = true;
}

void TOperationStrip::EndOperation(const QString& text, bool succeeded, TTrailer trailer) {
    FOperation = false;
    if (text.isEmpty()) {
        return;
    }
    FTrailer = std::move(trailer);
    FOutcome->setText(text);
    LogEvent("Outcome", text);
    if (succeeded) {
        ShowNotice();
    }
}

void TOperationStrip::ShowStep(const QString& text) {
    FOutcome->setText(text);
}

void TOperationStrip::ShowRetry(const QString& text) {
    FRetry = text;
    FRetryAnswered = FEngine.Batch() ? FEngine.Batch()->Answered : 0;
    FOutcome->setText(text);
}

void TOperationStrip::LogEvent(const char* what, const QString& text) {
    FEngine.HandOverSentLine(); // the command sent comes first
    FDayLog(TExchangeEngine::LogLine("==", Tr(what), text));
}

void TOperationStrip::NoteDayLogError(const QString& path, const QString& error) {
    if (!FDayLogNoted) {
        FDayLogNoted = true;
        FMessages.ShowMessage(Tr(kDayLogError).arg(path, error), Tr(kDayLogCaption),
                              TMessageIcon::Warning);
    }
}

// Once per operation, never on the console page; the box does not wait, so nothing stalls.
void TOperationStrip::ShowNotice() {
    if (FUi.pgCtrl->currentWidget() != FUi.tsAdvOperation && FUi.cbTipOnOK->isChecked()) {
        FMessages.ShowMessage(TranslateText(QStringLiteral("Operation success !")),
                              TranslateText(QStringLiteral("Message")), TMessageIcon::Information);
    }
}

void TOperationStrip::BatchChanged(const TBatchOutcome& outcome) {
    if (outcome.Serial != FSerial) {
        FSerial = outcome.Serial;
        FNote.clear();
        FTrailer = {};
        FRetry.clear();
    }
    const bool ended = outcome.End != TBatchEnd::Running;
    const bool stopped = outcome.End == TBatchEnd::NoAnswer && outcome.Resumable;
    if (outcome.Answered != FRetryAnswered || (ended && !stopped)) {
        FRetry.clear();
    }
    QString text = OutcomeText(outcome, ::TranslateText);
    if (outcome.End == TBatchEnd::Complete) {
        text = JoinSentences(text, FNote);
    }
    if (ended && !FOperation && FTrailer) {
        text = JoinSentences(text, FTrailer());
    }
    FOutcome->setText(FRetry.isEmpty() ? text : FRetry);
    UpdateButtons();
    // A running operation logs its own end, once; a stop it takes up itself is none.
    if (ended && !FOperation) {
        LogEvent("Outcome", text);
    }
    // The end as it happens; a late answer that changes the counts of an ended batch is no
    // new end.
    if (ended && FRunning && !FOperation && outcome.Succeeded()) {
        ShowNotice();
    }
    FRunning = !ended;
}

void TOperationStrip::CommandAnswered(const TCmdAnswer& answer) {
    const QString command = QString::fromLatin1(CommandText(answer.Cmd));
    if (answer.Late) {
        LogEvent("Late answer", command + QLatin1String(" : ") + QString::fromLatin1(answer.Reply));
    }
    if (answer.State == TCmdState::Differs) {
        LogEvent("Differs", command + QLatin1String(" : ") + QString::fromLatin1(answer.Reply));
    }
    if (answer.Cmd.Kind == kCmdParam && answer.Cmd.RW == kCmdWrite) {
        if (answer.Cmd.ParamNo == kFactoryDefault) {
            FNote = Tr(kFactoryNote);
        } else if (answer.Cmd.ParamNo == kRadius) {
            FNote = Tr(kRadiusNote);
        }
    }
}

void TOperationStrip::UpdateButtons() {
    FResume->setEnabled(FEngine.CanResume() && FPort.IsOpen());
    FCancelBatch->setEnabled(FEngine.CanCancel());
}

void TOperationStrip::btnResumeClick() {
    if (FEngine.Batch() && FEngine.CanResume()) {
        LogEvent("Resume", FEngine.Batch()->InFlight());
    }
    if (const auto error = FEngine.Resume()) {
        FMessages.ShowMessage(*error, QString::fromLatin1(kPortErrorCaption), TMessageIcon::Error);
    }
}

void TOperationStrip::btnCancelBatchClick() {
    LogEvent("Cancel", FEngine.Batch() ? FEngine.Batch()->Label : QString());
    FEngine.Cancel();
}
