#include "uSnapshotActions.h"

#include "uAppPaths.h"
#include "uBatchOutcome.h"
#include "uExchangeEngine.h"
#include "uGeoFenceEditor.h"
#include "uLanguage.h"
#include "uMessageService.h"
#include "uParamCatalogue.h"
#include "uParamGroups.h"
#include "uSnapshotDiff.h"
#include "uSnapshotDiffDialog.h"
#include "uSnapshotValues.h"
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
                                   IMessageService& messages, TParamGroups& groups,
                                   const TGeoFenceList& fences, TWindowRecords& records)
    : FUi(ui), FEngine(engine), FMessages(messages), FGroups(groups), FFences(fences),
      FRecords(records), FSession(engine) {
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
    // Whatever operation it answered, a reply names the connected device.
    connect(&engine, &TExchangeEngine::CommandAnswered, this, [this](const TCmdAnswer& answer) {
        const QString id = IdentityOf(answer.Reply);
        if (!id.isEmpty()) {
            FKnownId = id;
        }
    });
    // After the reply that ended the batch has been handled, outside the reply handler.
    connect(&FSession, &TDeviceSession::Finished, this, &TSnapshotActions::SessionFinished,
            Qt::QueuedConnection);
}

TSnapshotActions::~TSnapshotActions() = default;

QStringList TSnapshotActions::Texts() {
    QStringList texts{QString::fromLatin1(kBoxTitle)};
    for (const char* text : kButtonTexts) {
        texts.append(QString::fromLatin1(text));
    }
    for (const char* text : {kFilter, kStopped, kNoDifference, kOtherDevice, kAllConfirmed,
                             kStillDiffer, kReplace, kNotSavable}) {
        texts.append(QString::fromLatin1(text));
    }
    return texts + TSnapshotDiffDialog::Texts();
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

void TSnapshotActions::Run(TTask task, const QString& label) {
    FTask = task;
    FLabel = label;
    FSession.SetBatchLabel(label);
}

void TSnapshotActions::btnSnapshotBackupClick() {
    FRecords.StartJob(QStringLiteral("backup"));
    Run(TTask::Backup, ActionLabel(FButtons[0]));
    FSession.Backup();
}

void TSnapshotActions::btnSnapshotCompareClick() {
    auto snapshot = OpenSnapshot();
    if (!snapshot) {
        return;
    }
    FSnapshot = *std::move(snapshot);
    FRecords.StartJob(QStringLiteral("compare"), FSnapshotPath);
    Run(TTask::Compare, ActionLabel(FButtons[1]));
    FSession.Verify(FSnapshot);
}

// Restoring starts with reading what the snapshot holds, so that only what differs is shown
// and written. A device known to be another than the snapshot's is asked about before that.
void TSnapshotActions::btnSnapshotRestoreClick() {
    auto snapshot = OpenSnapshot();
    if (!snapshot) {
        return;
    }
    FSnapshot = *std::move(snapshot);
    FTemplate = FSnapshot;
    FValuesNote.clear();
    FAcceptedId.clear();
    if (!AcceptDevice(FKnownId)) {
        return;
    }
    FRecords.StartJob(QStringLiteral("restore"), FSnapshotPath);
    Run(TTask::RestoreCompare, ActionLabel(FButtons[2]));
    FSession.Verify(FSnapshot);
}

void TSnapshotActions::WriteTicked(const QStringList& keys) {
    if (keys.isEmpty()) {
        FRecords.EndJob(FSession.Report(), QStringLiteral("nothing ticked, nothing written"),
                        TDeviceResult::Cancelled);
        return;
    }
    TSnapshot ticked;
    for (const QString& key : keys) {
        ticked.SetParam(key, FSnapshot.Param(key).value_or(QString()));
    }
    Run(TTask::RestoreWrite, ActionLabel(FButtons[2]));
    FSession.Restore(ticked, true);
}

// The device's row of a values file over the snapshot as read; then what differs is read
// again, since the row may hold keys the snapshot does not.
void TSnapshotActions::ChooseValues() {
    QString row;
    const auto note = TSnapshotValues::Choose(
        FMessages, FSession.Report().Id, FUi.cboCOMIndex->currentText(), FTemplate, FSnapshot, row);
    if (!note) {
        return;
    }
    FValuesNote = *note;
    FRecords.NoteValues(row);
    Run(TTask::RestoreCompare, ActionLabel(FButtons[2]));
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
    }
    switch (report.Result) {
    case TDeviceResult::Confirmed:
    case TDeviceResult::Differs:
        break;
    case TDeviceResult::Cancelled:
    case TDeviceResult::Interrupted:
        return; // the user cancelled, or started something else
    case TDeviceResult::LineError: {
        // A lost or closed line has been reported by the window already.
        const auto& batch = FEngine.Batch();
        if (batch && (batch->End == TBatchEnd::LineLost || batch->End == TBatchEnd::PortClosed)) {
            return;
        }
        [[fallthrough]];
    }
    case TDeviceResult::NoAnswer:
        FMessages.ShowMessage(Tr(kStopped).arg(FLabel, report.Error), QStringLiteral("ERROR"),
                              TMessageIcon::Error);
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

void TSnapshotActions::BackupRead() {
    const TSnapshot& backup = FSession.Result();
    const QString id = backup.DeviceValue(QStringLiteral("ID"));
    const auto saved = SaveAs(backup, id.isEmpty() ? QStringLiteral("device") : id);
    FRecords.EndJob(FSession.Report(), saved ? QStringLiteral("saved to %1").arg(*saved)
                                             : QStringLiteral("not saved"));
}

void TSnapshotActions::CompareRead() {
    FRecords.EndJob(FSession.Report());
    if (CompareWithDevice(FSnapshot, FSession.Report()).empty()) {
        FMessages.ShowMessage(Tr(kNoDifference), FLabel, TMessageIcon::Information);
        return;
    }
    ShowTable(false);
}

void TSnapshotActions::RestoreRead() {
    if (!AcceptDevice(FSession.Report().Id)) {
        FRecords.EndJob(FSession.Report(),
                        QStringLiteral("the snapshot is another device's; nothing written"),
                        TDeviceResult::Cancelled);
        return;
    }
    if (CompareWithDevice(FSnapshot, FSession.Report()).empty()) {
        FRecords.EndJob(FSession.Report(), QStringLiteral("the device held every value"));
        FMessages.ShowMessage(Tr(kNoDifference), FLabel, TMessageIcon::Information);
        return;
    }
    FRecords.NoteCompared(FSession.Report());
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
        FMessages.ShowMessage(Tr(kAllConfirmed).arg(report.Params.size()), FLabel,
                              TMessageIcon::Information);
    } else {
        FMessages.ShowMessage(Tr(kStillDiffer).arg(differing.join(QStringLiteral(", "))), FLabel,
                              TMessageIcon::Warning);
    }
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
    if (!FMessages.Confirm(Tr(kOtherDevice).arg(own, deviceId), ActionLabel(FButtons[2]))) {
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

std::optional<QString> TSnapshotActions::SaveAs(const TSnapshot& snapshot,
                                                const QString& baseName) {
    const QString folder = UserFolder(QStringLiteral("snapshots"));
    QDir().mkpath(folder);
    const auto path =
        FMessages.GetSaveFileName(folder + QLatin1Char('/') + baseName + kExtension, Tr(kFilter));
    if (!path || (QFileInfo::exists(*path) &&
                  !FMessages.Confirm(Tr(kReplace).arg(QDir::toNativeSeparators(*path)),
                                     FBox->window()->windowTitle()))) {
        return std::nullopt;
    }
    if (const auto error = snapshot.Save(*path)) {
        FMessages.ShowMessage(*error, QStringLiteral("ERROR"), TMessageIcon::Error);
        return std::nullopt;
    }
    return path;
}

QString TSnapshotActions::CaptionOf(const QString& key) {
    const TParamEntry* entry = TParamCatalogue::Find(key);
    return entry ? entry->Caption : key;
}
