#include "uSnapshotActions.h"

#include "uAppPaths.h"
#include "uBatchOutcome.h"
#include "uExchangeEngine.h"
#include "uGeoFenceEditor.h"
#include "uLanguage.h"
#include "uMessageService.h"
#include "uOperationStrip.h"
#include "uParamCatalogue.h"
#include "uParamGroups.h"
#include "uSnapshotDiff.h"
#include "uSnapshotDiffDialog.h"
#include "uSnapshotValues.h"
#include "uUtils.h"
#include "uWindowRecords.h"
#include "ui_uFrmMain.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <utility>

namespace {

const char* const kBoxTitle = "Device snapshot";
constexpr std::array<const char*, 4> kButtonTexts = {
    "Back up... [&B]", "Compare... [&M]", "Restore... [&E]",
    "Save the window's values as a snapshot... [&V]"};
constexpr std::array<const char*, 4> kButtonNames = {"btnSnapshotBackup", "btnSnapshotCompare",
                                                     "btnSnapshotRestore", "btnSnapshotSaveWindow"};
const char* const kFilter = "Device snapshots (*.snapshot);;All files (*)";
const char* const kStopped = "%1 stopped: %2";
const char* const kNoDifference = "The device holds every value of the snapshot.";
const char* const kOtherDevice = "This snapshot was taken from device %1, but the connected device "
                                 "is %2. Write its values to this device anyway?";
const char* const kAllConfirmed = "The device confirmed every written setting (%1).";
const char* const kStillDiffer = "The device holds other values than were written for: %1";
const char* const kReplace = "%1 already exists. Replace it?";
const char* const kNotSavable = "The window's values cannot be saved as a snapshot: %1";

// Added since: how each operation ends, in the strip.
const char* const kReadingStep = "%1 (reading the device)";
const char* const kSaved = "%1 done: %2 values saved to %3";
const char* const kNotSaved = "%1: the device was read, but the file was not saved: %2";
const char* const kNothingSaved = "Nothing was saved.";
const char* const kDeclined = "%1 cancelled: you chose not to write the snapshot of device %2 "
                              "to device %3; nothing was written";
const char* const kNothingWritten = "%1 cancelled: nothing was written";
const char* const kChoose = "%1: %2 settings differ; tick those to write";
const char* const kRestored =
    "%1 done: the device confirmed every written setting (%2): %3 by reading them back, %4 by "
    "their echo alone (they cannot be read)";
const char* const kRestoredDiffer =
    "%1 done: %2 settings written; the device holds other values for: %3";
const char* const kWritten = "Written: %1.";
const char* const kNoneWritten = "Nothing was written.";
const char* const kSame = "%1 done: the device holds every value of the snapshot";
const char* const kDiffer = "%1 done: %2 settings differ";
// Added since: a command the device left unanswered, sent again or never known.
const char* const kRetrying = "%1: the device did not answer %2; trying again (%3 of %4)";
const char* const kSentUnknown = "Sent, result unknown: %1.";
const QString kExtension = QStringLiteral(".snapshot");

QString Tr(const char* text) {
    return TranslateText(QString::fromLatin1(text));
}

// A button's caption as the name of what it does: "Back up... [&B]" → "Back up".
QString ActionLabel(const QPushButton* button) {
    QString label = BatchLabel(button->text());
    while (label.endsWith(QLatin1Char('.'))) {
        label.chop(1);
    }
    return label;
}

// The identity a reply "(...)" starts with.
QString IdentityOf(const QByteArray& reply) {
    return reply.size() < 2 ? QString()
                            : QString::fromLatin1(reply.sliced(1, reply.size() - 2))
                                  .section(QLatin1Char(','), 0, 0);
}

} // namespace

TSnapshotActions::TSnapshotActions(Ui::TFrmMain& ui, TExchangeEngine& engine,
                                   IMessageService& messages, TOperationStrip& strip,
                                   TParamGroups& groups, const TGeoFenceList& fences,
                                   TWindowRecords& records)
    : FUi(ui), FEngine(engine), FMessages(messages), FStrip(strip), FGroups(groups),
      FFences(fences), FRecords(records), FSession(engine) {
    FPage = new QWidget;
    FPage->setObjectName(QStringLiteral("tsSnapshot"));
    ui.pgCtrl->addTab(FPage, QString());
    FBox = new QGroupBox(FPage);
    FBox->setObjectName(QStringLiteral("gbSnapshot"));
    FBox->setGeometry(8, 8, 976, 64);
    using THandler = void (TSnapshotActions::*)();
    constexpr std::array<THandler, 4> handlers = {
        &TSnapshotActions::btnSnapshotBackupClick, &TSnapshotActions::btnSnapshotCompareClick,
        &TSnapshotActions::btnSnapshotRestoreClick, &TSnapshotActions::btnSnapshotSaveWindowClick};
    // Laid out by hand like the rest of the window, so the sizes hold before the page is shown.
    constexpr std::array<int, 4> widths = {160, 160, 160, 470};
    int x = 8;
    for (std::size_t i = 0; i < FButtons.size(); ++i) {
        FButtons[i] = new QPushButton(FBox);
        FButtons[i]->setGeometry(x, 24, widths[i], 30);
        x += widths[i] + 6;
        FButtons[i]->setObjectName(QString::fromLatin1(kButtonNames[i]));
        FButtons[i]->setEnabled(i == FButtons.size() - 1);
        connect(FButtons[i], &QPushButton::clicked, this, handlers[i]);
    }
    records.PlaceOn(FPage);
    // Whatever operation it answered, a reply names the device on this line.
    connect(&engine, &TExchangeEngine::CommandAnswered, this, [this](const TCmdAnswer& answer) {
        const QString id = IdentityOf(answer.Reply);
        if (!id.isEmpty()) {
            FKnownId = id;
        }
    });
    // After the reply that ended the batch has been handled, outside the reply handler.
    connect(&FSession, &TDeviceSession::Finished, this, &TSnapshotActions::SessionFinished,
            Qt::QueuedConnection);
    connect(&FSession, &TDeviceSession::Retrying, this,
            [this](const QString& command, int attempt, int attempts) {
                FStrip.ShowRetry(Tr(kRetrying).arg(FLabel, command).arg(attempt).arg(attempts));
            });
}

TSnapshotActions::~TSnapshotActions() = default;

QStringList TSnapshotActions::Texts() {
    QStringList texts{QString::fromLatin1(kBoxTitle)};
    for (const char* text : kButtonTexts) {
        texts.append(QString::fromLatin1(text));
    }
    texts += Latin1Texts({kFilter, kStopped, kNoDifference, kOtherDevice, kAllConfirmed,
                          kStillDiffer, kReplace, kNotSavable});
    return texts + TSnapshotDiffDialog::Texts();
}

QStringList TSnapshotActions::OperationTexts() {
    return Latin1Texts({kReadingStep, kSaved, kNotSaved, kNothingSaved, kDeclined, kNothingWritten,
                        kChoose, kRestored, kRestoredDiffer, kWritten, kNoneWritten, kSame,
                        kDiffer});
}

QStringList TSnapshotActions::RetryTexts() {
    return Latin1Texts({kRetrying, kSentUnknown});
}

void TSnapshotActions::ForgetDevice() {
    FKnownId.clear();
    FAcceptedId.clear();
}

void TSnapshotActions::ApplyTexts() {
    FUi.pgCtrl->setTabText(FUi.pgCtrl->indexOf(FPage), Tr(kBoxTitle));
    FBox->setTitle(Tr(kBoxTitle));
    for (std::size_t i = 0; i < FButtons.size(); ++i) {
        FButtons[i]->setText(Tr(kButtonTexts[i]));
    }
}

void TSnapshotActions::SetDeviceButtons(bool enabled) {
    for (std::size_t i = 0; i + 1 < FButtons.size(); ++i) {
        FButtons[i]->setEnabled(enabled);
    }
}

void TSnapshotActions::Run(TTask task, const QString& batchLabel) {
    FTask = task;
    FSession.SetBatchLabel(batchLabel);
}

void TSnapshotActions::End(const QString& text, bool succeeded, TOperationStrip::TTrailer trailer) {
    FStrip.EndOperation(text, succeeded, std::move(trailer));
}

// The file is chosen first: nothing is read when the user cancels.
void TSnapshotActions::btnSnapshotBackupClick() {
    FLabel = ActionLabel(FButtons[0]);
    const auto path = AskSavePath(FKnownId.isEmpty() ? QStringLiteral("device") : FKnownId);
    if (!path) {
        return;
    }
    FBackupPath = *path;
    FRecords.StartJob(QStringLiteral("backup"));
    FStrip.BeginOperation();
    Run(TTask::Backup, FLabel);
    FSession.Backup();
}

void TSnapshotActions::btnSnapshotCompareClick() {
    auto snapshot = OpenSnapshot();
    if (!snapshot) {
        return;
    }
    FSnapshot = *std::move(snapshot);
    FRecords.StartJob(QStringLiteral("compare"), FSnapshotPath);
    FLabel = ActionLabel(FButtons[1]);
    FStrip.BeginOperation();
    Run(TTask::Compare, FLabel);
    FSession.Verify(FSnapshot);
}

// Restoring starts with reading what the snapshot holds, so that only what differs is shown
// and written. A device this line has named, other than the snapshot's, is asked about first.
void TSnapshotActions::btnSnapshotRestoreClick() {
    auto snapshot = OpenSnapshot();
    if (!snapshot) {
        return;
    }
    FSnapshot = *std::move(snapshot);
    FTemplate = FSnapshot;
    FValuesNote.clear();
    FAcceptedId.clear();
    FLabel = ActionLabel(FButtons[2]);
    FStrip.BeginOperation();
    if (!AcceptDevice(FKnownId)) {
        return;
    }
    FRecords.StartJob(QStringLiteral("restore"), FSnapshotPath);
    Run(TTask::RestoreCompare, Tr(kReadingStep).arg(FLabel));
    FSession.Verify(FSnapshot);
}

void TSnapshotActions::WriteTicked(const QStringList& keys) {
    if (keys.isEmpty()) {
        FRecords.EndJob(FSession.Report(), QStringLiteral("nothing ticked, nothing written"),
                        TDeviceResult::Cancelled);
        End(Tr(kNothingWritten).arg(FLabel), false);
        return;
    }
    TSnapshot ticked;
    for (const QString& key : keys) {
        ticked.SetParam(key, FSnapshot.Param(key).value_or(QString()));
    }
    Run(TTask::RestoreWrite, FLabel);
    FSession.Restore(ticked, true);
}

// The device's row of a values file over the snapshot as read; then what differs is read
// again, since the row may hold keys the snapshot does not.
void TSnapshotActions::ChooseValues() {
    QString row;
    const auto note = TSnapshotValues::Choose(
        FMessages, FSession.Report().Id, FUi.cboCOMIndex->currentText(), FTemplate, FSnapshot, row);
    if (!note) {
        End(Tr(kNothingWritten).arg(FLabel), false);
        return;
    }
    FValuesNote = *note;
    FRecords.NoteValues(row);
    Run(TTask::RestoreCompare, Tr(kReadingStep).arg(FLabel));
    FSession.Verify(FSnapshot);
}

void TSnapshotActions::SessionFinished() {
    if (FSession.Running()) {
        return; // superseded: another run has started since
    }
    const TTask task = std::exchange(FTask, TTask::None);
    const TSessionReport& report = FSession.Report();
    if (report.Result != TDeviceResult::Confirmed && report.Result != TDeviceResult::Differs) {
        FRecords.EndJob(report);
        Stopped(task);
        return;
    }
    switch (task) {
    case TTask::Backup:
        BackupRead();
        return;
    case TTask::Compare:
        CompareRead();
        return;
    case TTask::RestoreCompare:
        RestoreRead();
        return;
    case TTask::RestoreWrite:
        RestoreWritten();
        return;
    case TTask::None:
        return;
    }
}

// The batch's own account (who stopped it, what was answered), and for a restore the settings
// that were written all the same.
void TSnapshotActions::Stopped(TTask task) {
    const auto& batch = FEngine.Batch();
    if (batch && batch->End == TBatchEnd::Running) {
        End(QString(), false); // the user started another operation
        return;
    }
    const TSessionReport& report = FSession.Report();
    // What was written, or not saved, follows the batch's counts, also when a late answer
    // changes them.
    TOperationStrip::TTrailer trailer;
    if (task == TTask::RestoreWrite) {
        trailer = [this] { return WrittenText(); };
    } else if (task == TTask::Backup) {
        trailer = [] { return Tr(kNothingSaved); };
    }
    const QString text = JoinSentences(batch ? OutcomeText(*batch, ::TranslateText)
                                             : Tr(kStopped).arg(FLabel, report.Error),
                                       trailer ? trailer() : QString());
    // A lost or closed line has been reported by the window already.
    const bool lineGone =
        batch && (batch->End == TBatchEnd::LineLost || batch->End == TBatchEnd::PortClosed);
    if (report.Result == TDeviceResult::NoAnswer ||
        (report.Result == TDeviceResult::LineError && !lineGone)) {
        FMessages.ShowMessage(Tr(kStopped).arg(FLabel, report.Error), QStringLiteral("ERROR"),
                              TMessageIcon::Error);
    }
    End(text, false, trailer);
}

// "Written: SMS Primary number, Another name." for the settings the device took, and
// "Sent, result unknown: Time difference." for a write it left unanswered.
QString TSnapshotActions::WrittenText() const {
    QStringList written;
    QStringList unknown;
    for (const TParamCheck& check : FSession.Report().Params) {
        if (check.State == TParamState::Confirmed || check.State == TParamState::Echoed ||
            check.State == TParamState::Differs) {
            written.append(CaptionOf(check.Key));
        } else if (check.State == TParamState::NoAnswer) {
            unknown.append(CaptionOf(check.Key));
        }
    }
    QStringList sentences;
    if (!written.isEmpty()) {
        sentences.append(Tr(kWritten).arg(written.join(QStringLiteral(", "))));
    }
    if (!unknown.isEmpty()) {
        sentences.append(Tr(kSentUnknown).arg(unknown.join(QStringLiteral(", "))));
    }
    return sentences.isEmpty() ? Tr(kNoneWritten) : sentences.join(QLatin1Char(' '));
}

void TSnapshotActions::BackupRead() {
    const TSnapshot& backup = FSession.Result();
    if (const auto error = backup.Save(FBackupPath)) {
        FMessages.ShowMessage(*error, QStringLiteral("ERROR"), TMessageIcon::Error);
        FRecords.EndJob(FSession.Report(), QStringLiteral("not saved"));
        End(Tr(kNotSaved).arg(FLabel, *error), false);
        return;
    }
    FRecords.EndJob(FSession.Report(), QStringLiteral("saved to %1").arg(FBackupPath));
    QString text = Tr(kSaved)
                       .arg(FLabel)
                       .arg(backup.Params().size())
                       .arg(QDir::toNativeSeparators(FBackupPath));
    // Values the program cannot use were left out: said, and no success.
    const bool whole = FSession.Report().Result == TDeviceResult::Confirmed;
    if (const auto& batch = FEngine.Batch(); !whole && batch && !batch->Note.isEmpty()) {
        text += QStringLiteral("; ") + batch->Note;
    }
    End(text, whole);
}

void TSnapshotActions::CompareRead() {
    FRecords.EndJob(FSession.Report());
    const auto rows = CompareWithDevice(FSnapshot, FSession.Report());
    if (rows.empty()) {
        FMessages.ShowMessage(Tr(kNoDifference), FLabel, TMessageIcon::Information);
        End(Tr(kSame).arg(FLabel), false);
        return;
    }
    ShowTable(false);
    End(Tr(kDiffer).arg(FLabel).arg(rows.size()), false);
}

void TSnapshotActions::RestoreRead() {
    if (!AcceptDevice(FSession.Report().Id)) {
        FRecords.EndJob(FSession.Report(),
                        QStringLiteral("the snapshot is another device's; nothing written"),
                        TDeviceResult::Cancelled);
        return;
    }
    const auto rows = CompareWithDevice(FSnapshot, FSession.Report());
    if (rows.empty()) {
        FRecords.EndJob(FSession.Report(), QStringLiteral("the device held every value"));
        FMessages.ShowMessage(Tr(kNoDifference), FLabel, TMessageIcon::Information);
        End(Tr(kSame).arg(FLabel), false);
        return;
    }
    FRecords.NoteCompared(FSession.Report());
    FStrip.ShowStep(Tr(kChoose).arg(FLabel).arg(rows.size()));
    ShowTable(true);
}

void TSnapshotActions::RestoreWritten() {
    const TSessionReport& report = FSession.Report();
    FRecords.EndJob(report);
    QStringList differing;
    for (const TParamCheck& check : report.Params) {
        if (check.State != TParamState::Confirmed && check.State != TParamState::Echoed) {
            differing.append(CaptionOf(check.Key));
        }
    }
    if (differing.isEmpty()) {
        End(Tr(kRestored)
                .arg(FLabel)
                .arg(report.Params.size())
                .arg(report.Count(TParamState::Confirmed))
                .arg(report.Count(TParamState::Echoed)),
            true);
        return;
    }
    const QString list = differing.join(QStringLiteral(", "));
    FMessages.ShowMessage(Tr(kStillDiffer).arg(list), FLabel, TMessageIcon::Warning);
    End(Tr(kRestoredDiffer).arg(FLabel).arg(report.Params.size()).arg(list), false);
}

void TSnapshotActions::ShowTable(bool choose) {
    if (FDialog) {
        FDialog->close();
    }
    FDialog = new TSnapshotDiffDialog(CompareWithDevice(FSnapshot, FSession.Report()), choose,
                                      FBox->window(), choose ? FValuesNote : QString());
    FDialog->setAttribute(Qt::WA_DeleteOnClose);
    if (choose) {
        connect(FDialog, &QDialog::finished, this, [this](int result) {
            if (result == TSnapshotValues::kChosen) {
                QMetaObject::invokeMethod(this, &TSnapshotActions::ChooseValues,
                                          Qt::QueuedConnection);
            }
        });
        connect(FDialog, &QDialog::accepted, this, [this] {
            // Started once the dialog has finished closing: starting a batch runs pending
            // events, the dialog's deletion among them.
            QMetaObject::invokeMethod(
                this, [this, keys = FDialog->CheckedKeys()] { WriteTicked(keys); },
                Qt::QueuedConnection);
        });
        connect(FDialog, &QDialog::rejected, this, [this] {
            FRecords.EndJob(FSession.Report(), QStringLiteral("nothing written"),
                            TDeviceResult::Cancelled);
            End(Tr(kNothingWritten).arg(FLabel), false);
        });
    }
    FDialog->open();
}

std::optional<TSnapshot> TSnapshotActions::OpenSnapshot() {
    const QString folder = UserFolder(QStringLiteral("snapshots"));
    const auto path =
        FMessages.GetOpenFileName(QDir(folder).exists() ? folder : QString(), Tr(kFilter));
    if (!path) {
        return std::nullopt;
    }
    TSnapshot snapshot;
    if (const auto error = snapshot.Load(*path)) {
        FMessages.ShowMessage(*error, QStringLiteral("ERROR"), TMessageIcon::Error);
        return std::nullopt;
    }
    FSnapshotPath = *path;
    return snapshot;
}

bool TSnapshotActions::AcceptDevice(const QString& deviceId) {
    const QString own = FSnapshot.DeviceValue(QStringLiteral("ID"));
    if (own.isEmpty() || deviceId.isEmpty() || deviceId == own || deviceId == FAcceptedId) {
        return true;
    }
    if (!FMessages.Confirm(Tr(kOtherDevice).arg(own, deviceId), FLabel)) {
        End(Tr(kDeclined).arg(FLabel, own, deviceId), false);
        return false;
    }
    FAcceptedId = deviceId;
    return true;
}

// Write All's commands, the volume, the radius and the fence table, each as its Write button
// sends it: restoring the snapshot sends the very same commands.
void TSnapshotActions::btnSnapshotSaveWindowClick() {
    auto cmds = FGroups.WriteAllCommands();
    if (!cmds) {
        return;
    }
    cmds->push_back(FGroups.VolumeCommand());
    if (const auto radius = FGroups.RadiusCommand()) {
        cmds->push_back(*radius);
    }
    for (const TGeoFence& fence : FFences) {
        cmds->push_back(TGeoFenceEditor::WriteCommand(fence));
    }
    // A value the device reported as it came, and that its field cannot hold, is not kept.
    for (const TCmdItem& cmd : *cmds) {
        if (const auto fault = TParamCatalogue::CheckCommand(cmd)) {
            FMessages.ShowMessage(Tr(kNotSavable).arg(fault->Message(::TranslateText)),
                                  ActionLabel(FButtons[3]), TMessageIcon::Error);
            return;
        }
    }
    TSnapshot snapshot = TSnapshot::Blank(); // no ID: a template
    const QString alias = FUi.txtAlias->text().trimmed();
    snapshot.SetDeviceValue(QStringLiteral("Alias"), alias);
    snapshot.SetDeviceValue(QStringLiteral("Saved"),
                            QDateTime::currentDateTime().toString(Qt::ISODate));
    snapshot.SetWrites(*cmds);
    // What the snapshot reader would refuse is not saved.
    if (const auto error = TSnapshot().Parse(snapshot.ToBytes())) {
        FMessages.ShowMessage(Tr(kNotSavable).arg(*error), ActionLabel(FButtons[3]),
                              TMessageIcon::Error);
        return;
    }
    SaveAs(snapshot, alias.isEmpty() ? QStringLiteral("settings") : alias);
}

std::optional<QString> TSnapshotActions::AskSavePath(const QString& baseName) {
    const QString folder = UserFolder(QStringLiteral("snapshots"));
    QDir().mkpath(folder);
    const auto path =
        FMessages.GetSaveFileName(folder + QLatin1Char('/') + baseName + kExtension, Tr(kFilter));
    if (!path || (QFileInfo::exists(*path) &&
                  !FMessages.Confirm(Tr(kReplace).arg(QDir::toNativeSeparators(*path)),
                                     FBox->window()->windowTitle()))) {
        return std::nullopt;
    }
    return path;
}

void TSnapshotActions::SaveAs(const TSnapshot& snapshot, const QString& baseName) {
    const auto path = AskSavePath(baseName);
    if (!path) {
        return;
    }
    if (const auto error = snapshot.Save(*path)) {
        FMessages.ShowMessage(*error, QStringLiteral("ERROR"), TMessageIcon::Error);
    }
}

QString TSnapshotActions::CaptionOf(const QString& key) {
    const TParamEntry* entry = TParamCatalogue::Find(key);
    return entry ? entry->Caption : key;
}
