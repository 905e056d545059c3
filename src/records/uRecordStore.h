#pragma once

#include "uJobRecord.h"
#include "uRecordsLocation.h"

#include <QSqlQuery>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// Which records to list. Times are in the record time form; both ends are included.
struct TRecordFilter {
    QString DeviceId{};
    QString Since{};
    QString Until{};
    QString Operation{};
    QString Result{};
    int Limit = 0; // 0: every record that matches
};

// The records database through Qt SQL: an SQLite file in write-ahead-log mode with a busy
// timeout, so that several programs of the user can write at once, or a PostgreSQL database.
// The schema is prepared when the store opens. One store belongs to the thread that made it.
class TRecordStore {
public:
    // schemaVersion: the schema version to build, for tests of upgrades; 0 is this program's.
    explicit TRecordStore(TRecordsLocation location, int schemaVersion = 0);
    ~TRecordStore();
    TRecordStore(const TRecordStore&) = delete;
    TRecordStore& operator=(const TRecordStore&) = delete;

    // Opens the database and prepares its schema; the error text when it cannot.
    [[nodiscard]] std::optional<QString> Open();
    bool IsOpen() const { return FOpen; }
    void Close();

    // Stores the records in one transaction, in their order. A record whose id is already
    // there stays as it is, so storing a record twice keeps one.
    [[nodiscard]] std::optional<QString> Add(const std::vector<TJobRecord>& records);
    // The records that match, newest first.
    [[nodiscard]] std::optional<QString> Find(const TRecordFilter& filter,
                                              std::vector<TJobRecord>& records);

    const TRecordsLocation& Location() const { return FLocation; }
    // The open connection, for statements of its own (counts, tests).
    QSqlDatabase Database() const;

private:
    std::optional<QString> Insert(const TJobRecord& record);

    TRecordsLocation FLocation;
    int FSchemaVersion;
    QString FConnection; // the name of this store's Qt SQL connection
    bool FOpen = false;
    std::unique_ptr<QSqlQuery> FInsert; // prepared once per connection
};
