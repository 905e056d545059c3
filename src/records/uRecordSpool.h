#pragma once

#include "uJobRecord.h"

#include <QString>
#include <optional>
#include <vector>

class TRecordStore;

// Records the database could not take, kept aside until it can: one JSON object a line, in
// the order the jobs ended, in a file of the user's. Every program of the user appends to
// and replays the same file, one at a time (a lock file beside it).
class TRecordSpool {
public:
    // records-spool.jsonl in the user's data folder.
    static QString DefaultPath();

    explicit TRecordSpool(QString path = DefaultPath());

    const QString& Path() const { return FPath; }
    bool IsEmpty() const;

    // The spooled records in order; lines that are no record go to unreadable when given.
    // The error text when the spool cannot be read.
    std::optional<QString> Read(std::vector<TJobRecord>& records,
                                QByteArray* unreadable = nullptr) const;

    // Appends the record, on disk when this returns; the error text when it cannot.
    [[nodiscard]] std::optional<QString> Append(const TJobRecord& record);

    struct TReplay {
        int Stored = 0;               // records handed to the database
        int Unreadable = 0;           // lines that were no record, moved to the file ".bad" beside
        std::optional<QString> Error; // the database's, when it took none; the spool stays
    };
    // Hands every spooled record to the store in one transaction, in order, and empties the
    // spool once the database has them. A record the database already holds (a replay cut
    // short after its commit) stays one record.
    TReplay Replay(TRecordStore& store);

private:
    QString FPath;
};
