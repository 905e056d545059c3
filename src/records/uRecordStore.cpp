#include "uRecordStore.h"

#include "uRecordSchema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QStringList>
#include <QUuid>

namespace {

// How long a write waits for another program's write to the same SQLite file.
constexpr int kBusyTimeoutMs = 10'000;
// How long a PostgreSQL server may take to answer the connection.
constexpr int kConnectTimeoutS = 5;

QString ErrorText(const QSqlError& error) {
    // The server's text may run over several lines.
    const QString text = error.text().simplified();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

QString Columns() {
    QStringList columns;
    for (const TRecordField& field : RecordTextFields()) {
        columns.append(QLatin1String(field.Column));
    }
    columns.append(QStringLiteral("duration_ms"));
    return columns.join(QStringLiteral(", "));
}

} // namespace

TRecordStore::TRecordStore(TRecordsLocation location, int schemaVersion)
    : FLocation(std::move(location)),
      FSchemaVersion(schemaVersion > 0 ? schemaVersion : TRecordSchema::kVersion),
      FConnection(QStringLiteral("records-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {
}

TRecordStore::~TRecordStore() {
    Close();
}

QSqlDatabase TRecordStore::Database() const {
    return QSqlDatabase::database(FConnection, false);
}

void TRecordStore::Close() {
    FInsert.reset();
    FOpen = false;
    if (QSqlDatabase::contains(FConnection)) {
        Database().close();
        QSqlDatabase::removeDatabase(FConnection);
    }
}

std::optional<QString> TRecordStore::Open() {
    Close();
    const bool sqlite = FLocation.Kind == TRecordsLocation::TKind::SQLite;
    const QString driver = sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        return sqlite ? QStringLiteral("Qt's SQLite driver is not installed (libqt6sql6-sqlite)")
                      : QStringLiteral("Qt's PostgreSQL driver is not installed (libqt6sql6-psql)");
    }
    std::optional<QString> error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, FConnection);
        if (sqlite) {
            const QString folder = QFileInfo(FLocation.Path).absolutePath();
            if (FLocation.Path != QLatin1String(":memory:") && !QDir().mkpath(folder)) {
                error =
                    QStringLiteral("cannot create folder %1").arg(QDir::toNativeSeparators(folder));
            }
            db.setDatabaseName(FLocation.Path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        } else {
            db.setHostName(FLocation.Host);
            db.setPort(FLocation.Port);
            db.setUserName(FLocation.User);
            db.setPassword(FLocation.Password);
            db.setDatabaseName(FLocation.Database);
            db.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutS));
        }
        if (!error && !db.open()) {
            error = ErrorText(db.lastError());
        }
        if (!error) {
            // SQLite: readers never wait for a writer, and writers of several programs take
            // turns. PostgreSQL: the server's notices ("already exists, skipping") stay
            // out of the user's terminal.
            QSqlQuery setting(db);
            if (!setting.exec(sqlite ? QStringLiteral("PRAGMA journal_mode=WAL")
                                     : QStringLiteral("SET client_min_messages TO WARNING"))) {
                error = ErrorText(setting.lastError());
            }
        }
        if (!error) {
            error = TRecordSchema::Prepare(db, FSchemaVersion);
        }
    }
    if (error) {
        Close();
        return error;
    }
    FOpen = true;
    return std::nullopt;
}

std::optional<QString> TRecordStore::Insert(const TJobRecord& record) {
    if (!FInsert) {
        FInsert = std::make_unique<QSqlQuery>(Database());
        const QString placeholders =
            QStringLiteral("?, ").repeated(RecordTextFields().size()) + QLatin1Char('?');
        if (!FInsert->prepare(QStringLiteral("INSERT INTO records (%1) VALUES (%2) "
                                             "ON CONFLICT (uid) DO NOTHING")
                                  .arg(Columns(), placeholders))) {
            const QString error = ErrorText(FInsert->lastError());
            FInsert.reset();
            return error;
        }
    }
    int index = 0;
    for (const TRecordField& field : RecordTextFields()) {
        // A null text would be bound as NULL; the columns hold empty texts instead.
        const QString& value = record.*field.Member;
        FInsert->bindValue(index++, value.isNull() ? QStringLiteral("") : value);
    }
    FInsert->bindValue(index, record.DurationMs);
    if (!FInsert->exec()) {
        return ErrorText(FInsert->lastError());
    }
    return std::nullopt;
}

std::optional<QString> TRecordStore::Add(const std::vector<TJobRecord>& records) {
    if (!FOpen) {
        if (const auto error = Open()) {
            return error;
        }
    }
    QSqlDatabase db = Database();
    const bool many = records.size() > 1;
    if (many && !db.transaction()) {
        return ErrorText(db.lastError());
    }
    for (const TJobRecord& record : records) {
        if (const auto error = Insert(record)) {
            if (many) {
                db.rollback();
            }
            return error;
        }
    }
    if (many && !db.commit()) {
        const QString error = ErrorText(db.lastError());
        db.rollback();
        return error;
    }
    return std::nullopt;
}

std::optional<QString> TRecordStore::Find(const TRecordFilter& filter,
                                          std::vector<TJobRecord>& records) {
    if (!FOpen) {
        if (const auto error = Open()) {
            return error;
        }
    }
    QStringList conditions;
    QStringList values;
    for (const auto& [column, op, value] :
         {std::tuple{"device_id", "=", filter.DeviceId}, std::tuple{"time_utc", ">=", filter.Since},
          std::tuple{"time_utc", "<=", filter.Until},
          std::tuple{"operation", "=", filter.Operation},
          std::tuple{"result", "=", filter.Result}}) {
        if (!value.isEmpty()) {
            conditions.append(
                QStringLiteral("%1 %2 ?").arg(QLatin1String(column), QLatin1String(op)));
            values.append(value);
        }
    }
    QString statement = QStringLiteral("SELECT %1 FROM records").arg(Columns());
    if (!conditions.isEmpty()) {
        statement += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    }
    statement += QStringLiteral(" ORDER BY time_utc DESC, uid DESC");
    if (filter.Limit > 0) {
        statement += QStringLiteral(" LIMIT %1").arg(filter.Limit);
    }
    QSqlQuery query(Database());
    query.setForwardOnly(true);
    if (!query.prepare(statement)) {
        return ErrorText(query.lastError());
    }
    for (int i = 0; i < values.size(); ++i) {
        query.bindValue(i, values[i]);
    }
    if (!query.exec()) {
        return ErrorText(query.lastError());
    }
    const auto& fields = RecordTextFields();
    while (query.next()) {
        TJobRecord record;
        int index = 0;
        for (const TRecordField& field : fields) {
            record.*field.Member = query.value(index++).toString();
        }
        record.DurationMs = query.value(index).toLongLong();
        records.push_back(std::move(record));
    }
    return std::nullopt;
}
