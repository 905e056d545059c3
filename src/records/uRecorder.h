#pragma once

#include "uJobRecord.h"
#include "uRecordSpool.h"
#include "uRecordStore.h"
#include "uRecordsLocation.h"

#include <QString>
#include <optional>
#include <vector>

// Keeps the record of every job: in the database when it can be reached and written, else in
// the spool, which goes to the database, in order, the next time a record is kept or the
// records are listed. Jobs never wait on it beyond the database's own time-outs, and it never
// fails them. One recorder belongs to the thread that made it.
class TRecorder {
public:
    explicit TRecorder(TRecordsLocation location, QString spoolPath = TRecordSpool::DefaultPath());

    struct TKept {
        bool Stored = false;  // in the database
        bool Spooled = false; // in the spool instead
        // For the user: the first record of the run that went to the spool, and every record
        // that could be kept nowhere. Empty otherwise.
        QString Notice;
    };
    TKept Record(const TJobRecord& record);

    // Hands the spooled records to the database; the error text when it cannot take them.
    std::optional<QString> Flush();

    // The records that match, newest first, the spooled ones stored first. When the database
    // cannot be reached, the spooled records that match, with a notice saying so; the
    // database's error text when it cannot be read and the spool holds nothing.
    [[nodiscard]] std::optional<QString> Find(const TRecordFilter& filter,
                                              std::vector<TJobRecord>& records, QString& notice);

    TRecordStore& Store() { return FStore; }
    const TRecordSpool& Spool() const { return FSpool; }

private:
    TRecordStore FStore;
    TRecordSpool FSpool;
    bool FToldSpooled = false;
};
