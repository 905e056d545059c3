#include "uWindowRecords.h"

#include "uExchangeEngine.h"
#include "uLanguage.h"
#include "uLedDisplay.h"
#include "uMessageService.h"
#include "uParamCatalogue.h"
#include "uPortComboBox.h"
#include "uRecorder.h"
#include "uRecordsHistoryDialog.h"
#include "uSessionReportJson.h"
#include "uUtils.h"
#include "ui_uFrmMain.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {

const char* const kBoxTitle = "Records";
const char* const kHistoryText = "History... [&H]";
const char* const kHistoryTip =
    "Lists the jobs done on the connected device, or on a device whose ID you type, newest "
    "first, with the state of every setting";
const char* const kWhere = "Every job on a device is recorded in %1";
const char* const kWhereTip = "The records database: set it with [records] Database= in the "
                              "settings file, a file or a postgresql:// address";
const char* const kUnusable = "The records database in the settings file cannot be used (%1). "
                              "Records are kept in %2 until it can be.";
const char* const kLost = "The record of this job could not be kept: %1";

QString Tr(const char* text) {
    return TranslateText(QString::fromLatin1(text));
}

// A command's end as the state of its key: a write the device echoed was not read back.
TParamState StateOf(TCmdState state) {
    switch (state) {
    case TCmdState::NotSent:
        return TParamState::NotSent;
    case TCmdState::NotAnswered:
        return TParamState::NoAnswer;
    case TCmdState::Answered:
        return TParamState::Confirmed;
    case TCmdState::Confirmed:
        return TParamState::Echoed;
    case TCmdState::Differs:
        return TParamState::Differs;
    case TCmdState::Unusable:
        return TParamState::Unusable;
    case TCmdState::Refused:
        break;
    }
    return TParamState::Refused;
}

// The identity the window shows; zeros until a device has told its own.
QString ShownId(const Ui::TFrmMain& ui) {
    const QString id = ui.RzMeter_LED->Text().trimmed();
    return id.count(QLatin1Char('0')) == id.size() ? QString() : id;
}

} // namespace

TWindowRecords::TWindowRecords(Ui::TFrmMain& ui, TExchangeEngine& engine, IMessageService& messages)
    : FUi(ui), FMessages(messages) {
    if (const auto location = TRecordsLocation::Configured(QString(), FLocationError)) {
        SetLocation(*location);
    }
    connect(&engine, &TExchangeEngine::BatchChanged, this, &TWindowRecords::BatchChanged);
    connect(&engine, &TExchangeEngine::CommandAnswered, this, &TWindowRecords::CommandAnswered);
}

void TWindowRecords::PlaceOn(QWidget* page) {
    // Below the snapshot buttons, laid out by hand like them.
    FBox = new QGroupBox(page);
    FBox->setObjectName(QStringLiteral("gbRecords"));
    FBox->setGeometry(8, 80, 976, 64);
    FHistory = new QPushButton(FBox);
    FHistory->setObjectName(QStringLiteral("btnRecordsHistory"));
    FHistory->setGeometry(8, 24, 160, 30);
    connect(FHistory, &QPushButton::clicked, this, &TWindowRecords::btnRecordsHistoryClick);
    FWhere = new QLabel(FBox);
    FWhere->setObjectName(QStringLiteral("lblRecordsWhere"));
    FWhere->setGeometry(180, 24, 788, 30);
    FWhere->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

TWindowRecords::~TWindowRecords() = default;

QStringList TWindowRecords::Texts() {
    QStringList texts =
        Latin1Texts({kBoxTitle, kHistoryText, kHistoryTip, kWhere, kWhereTip, kUnusable, kLost});
    return texts + TRecordsHistoryDialog::Texts();
}

void TWindowRecords::ApplyTexts() {
    FBox->setTitle(Tr(kBoxTitle));
    FHistory->setText(Tr(kHistoryText));
    FHistory->setToolTip(Tr(kHistoryTip));
    FHistory->setAccessibleName(BatchLabel(FHistory->text()));
    const QString where = FRecorder ? FRecorder->Store().Location().Display()
                                    : QDir::toNativeSeparators(TRecordSpool::DefaultPath());
    FWhere->setText(Tr(kWhere).arg(where));
    FWhere->setToolTip(Tr(kWhereTip));
}

void TWindowRecords::SetLocation(const TRecordsLocation& location) {
    FRecorder = std::make_unique<TRecorder>(location);
    FLocationError.clear();
    if (FWhere && !FWhere->text().isEmpty()) {
        ApplyTexts();
    }
}

TJobRecord TWindowRecords::Begin(const QString& operation) const {
    TJobRecord record = TJobRecord::Begin();
    record.Operation = operation;
    record.Port = FUi.cboCOMIndex->currentText().trimmed();
    return record;
}

void TWindowRecords::Keep(TJobRecord record) {
    record.End();
    // What the job did not tell, as the window shows the device now.
    for (auto [member, shown] : {std::pair{&TJobRecord::DeviceId, ShownId(FUi)},
                                 std::pair{&TJobRecord::Firmware, FUi.lblVersion->text()},
                                 std::pair{&TJobRecord::Alias, FUi.lblAnotherName->text()}}) {
        if ((record.*member).isEmpty()) {
            record.*member = shown.trimmed();
        }
    }
    QString notice;
    if (FRecorder) {
        notice = FRecorder->Record(record).Notice;
    } else if (const auto error = TRecordSpool().Append(record)) {
        notice = Tr(kLost).arg(*error);
    } else if (!std::exchange(FToldLost, true)) {
        notice = Tr(kUnusable).arg(FLocationError,
                                   QDir::toNativeSeparators(TRecordSpool::DefaultPath()));
    }
    if (!notice.isEmpty()) {
        // After the job's own notice, never inside the handling of a reply.
        QMetaObject::invokeMethod(
            this,
            [this, notice] { FMessages.ShowMessage(notice, Tr(kBoxTitle), TMessageIcon::Warning); },
            Qt::QueuedConnection);
    }
}

void TWindowRecords::StartJob(const QString& operation, const QString& snapshotPath) {
    if (FJob) {
        // A job the user left for another (a restore's list closed by a new compare).
        TSessionReport left;
        left.Result = TDeviceResult::Cancelled;
        KeepReport(*FJob, left, QStringLiteral("left for another job"));
    }
    FJob = Begin(operation);
    FCompared.reset();
    if (!snapshotPath.isEmpty()) {
        QFile file(snapshotPath);
        FJob->SetTemplate(snapshotPath,
                          file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
}

void TWindowRecords::NoteValues(const QString& row) {
    if (FJob) {
        FJob->ValuesRow = row;
    }
}

void TWindowRecords::EndJob(const TSessionReport& report, const QString& detail,
                            std::optional<TDeviceResult> result) {
    if (!FJob) {
        return;
    }
    TSessionReport kept = report;
    if (FCompared) {
        // The compare's states, with those of the settings written laid over them.
        kept = *std::exchange(FCompared, std::nullopt);
        for (const TParamCheck& written : report.Params) {
            const auto same =
                std::find_if(kept.Params.begin(), kept.Params.end(),
                             [&](const TParamCheck& c) { return c.Key == written.Key; });
            if (same != kept.Params.end()) {
                *same = written;
            }
        }
        const bool allConfirmed =
            std::all_of(kept.Params.begin(), kept.Params.end(), [](const TParamCheck& c) {
                return c.State == TParamState::Confirmed || c.State == TParamState::Echoed;
            });
        kept.Result = report.Result != TDeviceResult::Confirmed ? report.Result
                      : allConfirmed                            ? TDeviceResult::Confirmed
                                                                : TDeviceResult::Differs;
        kept.Error = report.Error;
        kept.Id = report.Id.isEmpty() ? kept.Id : report.Id;
    }
    if (result) {
        kept.Result = *result;
    }
    KeepReport(*std::exchange(FJob, std::nullopt), kept, detail);
}

void TWindowRecords::KeepReport(TJobRecord record, const TSessionReport& report,
                                const QString& detail) {
    record.DeviceId = report.Id;
    record.Result = SessionResultName(report);
    record.Detail = detail.isEmpty() ? report.Error : detail;
    record.States = QString::fromUtf8(SessionParamsText(report));
    Keep(record);
}

void TWindowRecords::BatchChanged(const TBatchOutcome& outcome) {
    if (outcome.End == TBatchEnd::Running) {
        const struct {
            const QPushButton* Button;
            const char* Operation;
        } followed[] = {{FUi.btnWriteAll, "write-all"}, {FUi.btnDefault, "factory-default"}};
        for (const auto& [button, operation] : followed) {
            if (!FBatchJob && outcome.Label == BatchLabel(button->text())) {
                FBatchJob = Begin(QLatin1String(operation));
                FAnswers.clear();
            }
        }
        return;
    }
    if (!FBatchJob) {
        return;
    }
    // Every command of the batch: those answered as they were, the others not answered. The
    // device is the one the window shows.
    TSessionReport report;
    const auto keep = [&report](const TCmdItem& cmd, std::optional<QString> held,
                                TParamState state) {
        report.Params.push_back(
            {TParamCatalogue::KeyOfCommand(cmd).value_or(
                 QStringLiteral("P%1").arg(cmd.ParamNo, 2, 10, QLatin1Char('0'))),
             CommandValue(cmd), std::move(held), state});
    };
    for (const TCmdAnswer& answer : FAnswers) {
        keep(answer.Cmd, ReplyValue(answer.Reply), StateOf(answer.State));
    }
    // The head of what is left was sent and not answered; the rest was never sent.
    for (qsizetype i = 0; i < outcome.Pending.size(); ++i) {
        keep(outcome.Pending[i], std::nullopt,
             i < outcome.NotAnswered() ? TParamState::NoAnswer : TParamState::NotSent);
    }
    report.Error = outcome.InFlight().isEmpty()
                       ? QString()
                       : QStringLiteral("no answer to %1").arg(outcome.InFlight());
    switch (outcome.End) {
    case TBatchEnd::Complete:
        report.Result = outcome.Succeeded() ? TDeviceResult::Confirmed : TDeviceResult::Differs;
        break;
    case TBatchEnd::NoAnswer:
        report.Result = TDeviceResult::NoAnswer;
        break;
    case TBatchEnd::Cancelled:
    case TBatchEnd::Superseded:
        report.Result = TDeviceResult::Cancelled;
        break;
    case TBatchEnd::Interrupted:
        report.Result = TDeviceResult::Interrupted;
        break;
    case TBatchEnd::Running:
    case TBatchEnd::LineLost:
    case TBatchEnd::PortClosed:
        report.Result = TDeviceResult::LineError;
        report.Error = QStringLiteral("the line was lost");
        break;
    }
    // Kept once the reply that ended the batch has been handled.
    QMetaObject::invokeMethod(
        this,
        [this, record = *std::exchange(FBatchJob, std::nullopt), report] {
            KeepReport(record, report, QString());
        },
        Qt::QueuedConnection);
}

void TWindowRecords::CommandAnswered(const TCmdAnswer& answer) {
    if (FBatchJob) {
        FAnswers.push_back(answer);
    }
}

std::optional<QString> TWindowRecords::Find(const TRecordFilter& filter,
                                            std::vector<TJobRecord>& records, QString& notice) {
    if (!FRecorder) {
        return FLocationError;
    }
    return FRecorder->Find(filter, records, notice);
}

void TWindowRecords::btnRecordsHistoryClick() {
    if (FDialog) {
        FDialog->raise();
        FDialog->activateWindow();
        return;
    }
    FDialog = new TRecordsHistoryDialog(*this, ShownId(FUi), FBox->window());
    FDialog->setAttribute(Qt::WA_DeleteOnClose);
    FDialog->open();
}
