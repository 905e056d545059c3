#pragma once

#include "uBatchOutcome.h"
#include "uDeviceSession.h"
#include "uJobRecord.h"
#include "uRecordStore.h"
#include "uRecordsLocation.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class TFrmMain;
}
class IMessageService;
class TExchangeEngine;
class QGroupBox;
class QLabel;
class QPushButton;
class TRecorder;
class TRecordsHistoryDialog;

// The records of the window's jobs, one per job: Back up, Compare and Restore of the Device
// snapshot page, Write All and Factory Default. They go where the settings file's
// [records] Database= (or --records) says, else to records.sqlite in the data folder; when
// that cannot be written, to the spool, which a message says once per run.
// A box of its own on the Device snapshot page holds History..., which lists a device's
// records.
class TWindowRecords : public QObject {
    Q_OBJECT
public:
    TWindowRecords(Ui::TFrmMain& ui, TExchangeEngine& engine, IMessageService& messages);
    ~TWindowRecords() override;

    // The texts these records show, for the language file.
    static QStringList Texts();
    // Captions, once the window's start-up texts have their ids.
    void ApplyTexts();
    // Puts the Records box with History... on the page, below what it holds.
    void PlaceOn(QWidget* page);

    // Where the records go from now on (--records).
    void SetLocation(const TRecordsLocation& location);
    // Why the settings file's records database cannot be used; nullopt when it can.
    std::optional<QString> LocationError() const {
        return FRecorder ? std::nullopt : std::optional<QString>(FLocationError);
    }

    // A job of the Device snapshot page starts touching the device: its operation and the
    // snapshot file it works with, if any.
    void StartJob(const QString& operation, const QString& snapshotPath = QString());
    // A restore's compare has ended and its writes may follow: the record of the restore
    // holds the compared states, and those the writes then give.
    void NoteCompared(const TSessionReport& report) { FCompared = report; }
    // A restore takes a values file's row (as the record keeps it) over its snapshot.
    void NoteValues(const QString& row);
    // The job has ended: its session's report (laid over the compared one), what became of
    // it in words, and its result when it is not the report's own.
    void EndJob(const TSessionReport& report, const QString& detail = QString(),
                std::optional<TDeviceResult> result = std::nullopt);

    // The records that match, newest first, with a notice when only the spool could be read.
    std::optional<QString> Find(const TRecordFilter& filter, std::vector<TJobRecord>& records,
                                QString& notice);

    void btnRecordsHistoryClick();

private:
    // A record of a job that starts now, with the port and what the window shows of the
    // device (identity, firmware, alias).
    TJobRecord Begin(const QString& operation) const;
    // Ends the record (its duration, the device as the window now shows it, where the job
    // had not told) and keeps it.
    void Keep(TJobRecord record);
    // Write All and Factory Default: batches of the window's own, followed on the engine.
    void BatchChanged(const TBatchOutcome& outcome);
    void CommandAnswered(const TCmdAnswer& answer);
    // Fills the record from the report and keeps it.
    void KeepReport(TJobRecord record, const TSessionReport& report, const QString& detail);

    Ui::TFrmMain& FUi;
    IMessageService& FMessages;
    std::unique_ptr<TRecorder> FRecorder; // none while the configured address is unusable
    QString FLocationError;
    bool FToldLost = false; // the spool notice of an unusable address, once
    QGroupBox* FBox = nullptr;
    QLabel* FWhere = nullptr;
    QPushButton* FHistory = nullptr;
    QPointer<TRecordsHistoryDialog> FDialog;
    std::optional<TJobRecord> FJob;          // the job running, while one does
    std::optional<TSessionReport> FCompared; // a restore's compare
    std::optional<TJobRecord> FBatchJob;     // Write All or Factory Default, while it runs
    std::vector<TCmdAnswer> FAnswers;        // its answers
};
