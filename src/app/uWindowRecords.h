#pragma once

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
class QGroupBox;
class QLabel;
class QPushButton;
class TRecorder;
class TRecordsHistoryDialog;

// The records of the window's jobs, one per job: Back up, Compare and Restore of the Device
// snapshot page, Write All and Factory Default. They go where the settings file's
// [records] Database= (or --records) says, else to records.sqlite in the data folder; when
// that cannot be written, to the spool, which the transcript and a message say once per run.
// A box of its own on the Device snapshot page holds History..., which lists a device's
// records.
class TWindowRecords : public QObject {
    Q_OBJECT
public:
    TWindowRecords(Ui::TFrmMain& ui, IMessageService& messages, QWidget* page);
    ~TWindowRecords() override;

    // The texts these records show, for the language file.
    static QStringList Texts();
    // Captions, once the window's start-up texts have their ids.
    void ApplyTexts();

    // Where the records go from now on (--records).
    void SetLocation(const TRecordsLocation& location);
    // Why the settings file's records database cannot be used; nullopt when it can.
    std::optional<QString> LocationError() const {
        return FRecorder ? std::nullopt : std::optional<QString>(FLocationError);
    }

    // A record of a job that starts now, with the port and what the window shows of the
    // device (identity, firmware, alias).
    TJobRecord Begin(const QString& operation) const;
    // Ends the record (its duration, the device as the window now shows it, where the job
    // had not told) and keeps it.
    void Keep(TJobRecord record);

    // The records that match, newest first, with a notice when only the spool could be read.
    std::optional<QString> Find(const TRecordFilter& filter, std::vector<TJobRecord>& records,
                                QString& notice);

    void btnRecordsHistoryClick();

private:
    Ui::TFrmMain& FUi;
    IMessageService& FMessages;
    std::unique_ptr<TRecorder> FRecorder; // none while the configured address is unusable
    QString FLocationError;
    bool FToldLost = false; // the spool notice of an unusable address, once
    QGroupBox* FBox = nullptr;
    QLabel* FWhere = nullptr;
    QPushButton* FHistory = nullptr;
    QPointer<TRecordsHistoryDialog> FDialog;
};
