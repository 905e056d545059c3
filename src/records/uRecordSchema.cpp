#include "uRecordSchema.h"

#include "uCommandLine.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <array>
#include <vector>

namespace {

// The statements of each version's step, run in order.
const std::array<std::vector<const char*>, TRecordSchema::kVersion> kSteps = {{
    {"CREATE TABLE records ("
     " uid TEXT PRIMARY KEY,"
     " time_utc TEXT NOT NULL,"
     " station TEXT NOT NULL,"
     " user_name TEXT NOT NULL,"
     " program TEXT NOT NULL,"
     " version TEXT NOT NULL,"
     " port TEXT NOT NULL,"
     " device_id TEXT NOT NULL,"
     " firmware TEXT NOT NULL,"
     " alias TEXT NOT NULL,"
     " operation TEXT NOT NULL,"
     " template TEXT NOT NULL,"
     " template_sha256 TEXT NOT NULL,"
     " result TEXT NOT NULL,"
     " states TEXT NOT NULL,"
     " duration_ms BIGINT NOT NULL)"},
    {"ALTER TABLE records ADD COLUMN values_row TEXT NOT NULL DEFAULT ''",
     "ALTER TABLE records ADD COLUMN detail TEXT NOT NULL DEFAULT ''",
     "CREATE INDEX records_device_time ON records (device_id, time_utc)",
     "CREATE INDEX records_time ON records (time_utc)"},
}};

bool IsPostgres(const QSqlDatabase& db) {
    return db.driver()->dbmsType() == QSqlDriver::PostgreSQL;
}

std::optional<QString> Run(QSqlDatabase& db, const QString& statement) {
    QSqlQuery query(db);
    if (!query.exec(statement)) {
        return query.lastError().text();
    }
    return std::nullopt;
}

} // namespace

std::optional<int> TRecordSchema::VersionOf(QSqlDatabase& db) {
    if (!db.tables().contains(QStringLiteral("schema_version"))) {
        return 0;
    }
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !query.next()) {
        return std::nullopt;
    }
    return query.value(0).isNull() ? 0 : query.value(0).toInt();
}

std::optional<QString> TRecordSchema::Prepare(QSqlDatabase& db, int target) {
    const auto newer = [target](int version) {
        return QStringLiteral("it holds records of schema version %1, and this program (%2 %3) "
                              "knows versions up to %4: use a newer program with it")
            .arg(version)
            .arg(QCoreApplication::applicationName(), ProgramVersion())
            .arg(target);
    };
    // Most opens find the schema in place and take no lock.
    if (const auto version = VersionOf(db); version && *version >= target) {
        return *version > target ? newer(*version) : std::optional<QString>();
    }
    // One program builds or upgrades at a time; the others wait and then find it done.
    const bool postgres = IsPostgres(db);
    if (const auto error =
            Run(db, postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"))) {
        return error;
    }
    const auto fail = [&db](const QString& error) {
        Run(db, QStringLiteral("ROLLBACK"));
        return error;
    };
    if (postgres) {
        if (const auto error =
                Run(db, QStringLiteral("SELECT pg_advisory_xact_lock(2024052201)"))) {
            return fail(*error);
        }
    }
    if (const auto error =
            Run(db, QStringLiteral(
                        "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"))) {
        return fail(*error);
    }
    QSqlQuery current(db);
    if (!current.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) ||
        !current.next()) {
        return fail(current.lastError().text());
    }
    const int version = current.value(0).isNull() ? 0 : current.value(0).toInt();
    current.finish();
    if (version > target) {
        return fail(newer(version));
    }
    for (int step = version; step < target; ++step) {
        for (const char* statement : kSteps[step]) {
            if (const auto error = Run(db, QString::fromLatin1(statement))) {
                return fail(*error);
            }
        }
    }
    if (version < target) {
        for (const QString& statement :
             {QStringLiteral("DELETE FROM schema_version"),
              QStringLiteral("INSERT INTO schema_version (version) VALUES (%1)").arg(target)}) {
            if (const auto error = Run(db, statement)) {
                return fail(*error);
            }
        }
    }
    if (const auto error = Run(db, QStringLiteral("COMMIT"))) {
        return fail(*error);
    }
    return std::nullopt;
}
