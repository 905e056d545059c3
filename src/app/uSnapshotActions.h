#pragma once

#include "uDeviceSession.h"
#include "uGeoFence.h"
#include "uOperationStrip.h"
#include "uSnapshot.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <array>
#include <optional>

namespace Ui {
class TFrmMain;
}
class IMessageService;
class QGroupBox;
class QPushButton;
class TExchangeEngine;
class TParamGroups;
class TSnapshotDiffDialog;
class TWindowRecords;

// Whole-device snapshots from the window, on a page of their own: Back up reads every
// setting and the 64 fences and saves them; Compare reads what a snapshot holds and lists what
// differs; Restore lists the same, lets the user untick rows and writes the rest, checked; the
// window's own values can be saved as a snapshot to program other devices with.
//
// The device session runs on the window's engine: the window's reply handler still applies
// every reply to the controls and moves the queue on, which is what the session listens to.
// Each is one operation for the strip: its reads, the choice of rows and its writes are steps,
// and the strip tells how it ended once, at its end (a Back up once its file is written).
class TSnapshotActions : public QObject {
    Q_OBJECT
public:
    // Each job the page runs on a device is kept in records, whose box goes on the page too.
    TSnapshotActions(Ui::TFrmMain& ui, TExchangeEngine& engine, IMessageService& messages,
                     TOperationStrip& strip, TParamGroups& groups, const TGeoFenceList& fences,
                     TWindowRecords& records);
    ~TSnapshotActions() override;

    // The texts these actions show, for the language file.
    static QStringList Texts();
    static QStringList OperationTexts();
    // Added since: a command sent again, a write whose result is unknown.
    static QStringList RetryTexts();
    // Captions, once the window's start-up texts have their ids.
    void ApplyTexts();
    // Back up, Compare and Restore need the device; saving the window's values does not.
    void SetDeviceButtons(bool enabled);
    // Another line, or none: the device identity known so far no longer holds.
    void ForgetDevice();

    void btnSnapshotBackupClick();
    void btnSnapshotCompareClick();
    void btnSnapshotRestoreClick();
    void btnSnapshotSaveWindowClick();

    const TDeviceSession& Session() const { return FSession; }

private:
    enum class TTask { None, Backup, Compare, RestoreCompare, RestoreWrite };

    void Run(TTask task, const QString& batchLabel);
    void End(const QString& text, bool succeeded, TOperationStrip::TTrailer trailer = {});
    void SessionFinished();
    void Stopped(TTask task);
    QString WrittenText() const;
    void BackupRead();
    void CompareRead();
    void RestoreRead();
    void RestoreWritten();
    void WriteTicked(const QStringList& keys);
    void ChooseValues();
    std::optional<TSnapshot> OpenSnapshot();
    // False when the user declines writing a snapshot of another device to this one.
    bool AcceptDevice(const QString& deviceId);
    void ShowTable(bool choose);
    // The file to write, proposed as snapshots/<baseName>.snapshot; nullopt when the user
    // cancelled or would not replace it.
    std::optional<QString> AskSavePath(const QString& baseName);
    void SaveAs(const TSnapshot& snapshot, const QString& baseName);
    static QString CaptionOf(const QString& key);

    Ui::TFrmMain& FUi;
    TExchangeEngine& FEngine;
    IMessageService& FMessages;
    TOperationStrip& FStrip;
    TParamGroups& FGroups;
    const TGeoFenceList& FFences;
    TWindowRecords& FRecords;
    TDeviceSession FSession;
    QWidget* FPage = nullptr; // a tab of its own, after the window's pages
    QGroupBox* FBox = nullptr;
    std::array<QPushButton*, 4> FButtons{}; // Back up, Compare, Restore, Save the window's values
    TTask FTask = TTask::None;
    QString FLabel;      // the running task's name, as its button says it
    QString FBackupPath; // where the running Back up goes
    TSnapshot FSnapshot; // the file being compared or restored (with a device's values)
    TSnapshot FTemplate; // the file as read, before a values file's row
    QString FValuesNote; // where the device's values came from; empty without a values file
    QString FSnapshotPath;
    QString FKnownId;    // the device that answered last on this line
    QString FAcceptedId; // a device the user agreed to restore another device's snapshot to
    QPointer<TSnapshotDiffDialog> FDialog;
};
