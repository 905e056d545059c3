#pragma once

#include <QString>
#include <optional>

// Where the records go: an SQLite file (one PC), or a PostgreSQL database that several
// stations share.
struct TRecordsLocation {
    enum class TKind { SQLite, PostgreSQL };

    TKind Kind = TKind::SQLite;
    QString Path{}; // SQLite: the file
    // PostgreSQL: a host name, or the folder of the server's Unix socket
    QString Host{};
    int Port = 5432;
    QString User{};
    QString Password{};
    QString Database{};

    // A file path, or postgresql://[user[:password]@][host][:port]/dbname. The host may be a
    // socket folder, percent-encoded (postgresql://%2Fvar%2Frun%2Fpostgresql/records) or as
    // ?host=/var/run/postgresql; an empty host is the client library's default. A relative
    // file path is taken from base. nullopt with the reason in error for a malformed address.
    static std::optional<TRecordsLocation> Parse(const QString& text, QString& error,
                                                 const QString& base = QString());
    // The option's value when given, else [records] Database= of the settings file (the
    // program's own, else the window's beside it), else records.sqlite in the user's data folder.
    static std::optional<TRecordsLocation> Configured(const QString& option, QString& error);
    // The default: records.sqlite in the user's data folder.
    static TRecordsLocation Default();

    // For messages: the file, or the address without the password.
    QString Display() const;
};
