#include "uRecorder.h"

#include <QDir>
#include <utility>

TRecorder::TRecorder(TRecordsLocation location, QString spoolPath)
    : FStore(std::move(location)), FSpool(std::move(spoolPath)) {}

std::optional<QString> TRecorder::Flush() {
    if (FSpool.IsEmpty()) {
        return std::nullopt;
    }
    const TRecordSpool::TReplay replay = FSpool.Replay(FStore);
    if (replay.Error) {
        FStore.Close(); // opened afresh next time: the server may be back
    }
    return replay.Error;
}

TRecorder::TKept TRecorder::Record(const TJobRecord& record) {
    TKept kept;
    // Spooled records first, so the database gets them in the order the jobs ended.
    auto error = Flush();
    if (!error) {
        const bool wasOpen = FStore.IsOpen();
        error = FStore.Add({record});
        if (error && wasOpen) {
            // A connection from an earlier job may have gone stale (a server restarted).
            FStore.Close();
            error = FStore.Add({record});
        }
        if (error) {
            FStore.Close();
        }
    }
    if (!error) {
        kept.Stored = true;
        return kept;
    }
    const QString database = FStore.Location().Display();
    if (const auto spoolError = FSpool.Append(record)) {
        kept.Notice = QStringLiteral("The record of this job was lost: the records database %1 "
                                     "cannot be written (%2), and %3")
                          .arg(database, *error, *spoolError);
        return kept;
    }
    kept.Spooled = true;
    if (!std::exchange(FToldSpooled, true)) {
        kept.Notice = QStringLiteral("The records database %1 cannot be written (%2). Records are "
                                     "kept in %3 and go to the database the next time it can "
                                     "take them.")
                          .arg(database, *error, QDir::toNativeSeparators(FSpool.Path()));
    }
    return kept;
}

std::optional<QString> TRecorder::Find(const TRecordFilter& filter,
                                       std::vector<TJobRecord>& records, QString& notice) {
    auto error = Flush();
    if (!error) {
        error = FStore.Find(filter, records);
    }
    if (!error) {
        return std::nullopt;
    }
    FStore.Close();
    // What this PC kept aside, filtered and ordered by the same query in memory.
    std::vector<TJobRecord> spooled;
    if (const auto spoolError = FSpool.Read(spooled)) {
        return QStringLiteral("%1; %2").arg(*error, *spoolError);
    }
    if (spooled.empty()) {
        return error;
    }
    TRecordStore memory(TRecordsLocation{.Path = QStringLiteral(":memory:")});
    if (const auto memoryError = memory.Add(spooled)) {
        return memoryError;
    }
    if (const auto memoryError = memory.Find(filter, records)) {
        return memoryError;
    }
    notice = QStringLiteral("The records database %1 cannot be read (%2): only the %3 records "
                            "kept in %4 are searched.")
                 .arg(FStore.Location().Display(), *error, QString::number(spooled.size()),
                      QDir::toNativeSeparators(FSpool.Path()));
    return std::nullopt;
}
