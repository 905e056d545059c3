#pragma once

#include <QString>
#include <optional>

class QSqlDatabase;

// The tables of the records database, built in numbered steps; the table schema_version holds
// the step a database has reached. A new database gets every step, an older one the steps it
// lacks, and a database from a newer program is left alone and refused.
//
// Version 1: the table of records, one row per job and device, keyed by the record's id.
// Version 2: the values row a station used and the reason a job did not end confirmed; the
// indexes for a device's history and for time ranges.
class TRecordSchema {
public:
    static constexpr int kVersion = 2;

    // Brings the database to version target, in one transaction that other programs doing the
    // same wait for. Returns the error text, naming both versions when the database's is newer.
    [[nodiscard]] static std::optional<QString> Prepare(QSqlDatabase& db, int target = kVersion);
    // The version the database has; 0 when it has no schema yet, nullopt when it cannot tell.
    static std::optional<int> VersionOf(QSqlDatabase& db);
};
