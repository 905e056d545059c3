#include "uRecordsLocation.h"

#include "uAppPaths.h"
#include "uIniDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace {

const QString kSection = QStringLiteral("records");
const QString kKey = QStringLiteral("Database");

QString Decoded(const QString& part) {
    return QUrl::fromPercentEncoding(part.toUtf8());
}

// The value of [records] Database= in the file, and the file's folder for a relative path.
std::optional<QString> SettingOf(const QString& path) {
    TIniDocument settings;
    if (settings.LoadFromFile(path)) {
        return std::nullopt;
    }
    const auto value = settings.Value(kSection, kKey);
    return value && !value->trimmed().isEmpty() ? value->trimmed() : std::optional<QString>();
}

} // namespace

std::optional<TRecordsLocation> TRecordsLocation::Parse(const QString& text, QString& error,
                                                        const QString& base) {
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*)://"));
    const auto schemeMatch = scheme.match(text);
    TRecordsLocation location;
    if (!schemeMatch.hasMatch()) {
        if (text.trimmed().isEmpty()) {
            error = QStringLiteral("the records database is not named");
            return std::nullopt;
        }
        location.Path = QDir::cleanPath(
            QDir(base.isEmpty() ? QDir::currentPath() : base).absoluteFilePath(text));
        return location;
    }
    const QString name = schemeMatch.captured(1).toLower();
    if (name != QLatin1String("postgresql") && name != QLatin1String("postgres")) {
        error = QStringLiteral("%1: only postgresql:// addresses and file paths name a records "
                               "database")
                    .arg(text);
        return std::nullopt;
    }
    // user:password@host:port/dbname?host=..., each part percent-encoded.
    static const QRegularExpression form(QStringLiteral(
        "^[^:]+://(?:([^:@/?]*)(?::([^@/?]*))?@)?([^:/?]*)(?::(\\d+))?(?:/([^?]*))?(?:\\?(.*))?$"));
    const auto match = form.match(text);
    const int port = match.captured(4).isEmpty() ? 5432 : match.captured(4).toInt();
    if (!match.hasMatch() || port <= 0 || port > 65535) {
        error = QStringLiteral("%1 is not an address of the form "
                               "postgresql://user@host:port/dbname")
                    .arg(text);
        return std::nullopt;
    }
    location.Kind = TKind::PostgreSQL;
    location.User = Decoded(match.captured(1));
    location.Password = Decoded(match.captured(2));
    location.Host = Decoded(match.captured(3));
    location.Port = port;
    location.Database = Decoded(match.captured(5));
    const QUrlQuery query(match.captured(6));
    if (query.hasQueryItem(QStringLiteral("host"))) {
        location.Host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    }
    if (location.Database.isEmpty()) {
        error =
            QStringLiteral("%1 names no database (postgresql://user@host:port/dbname)").arg(text);
        return std::nullopt;
    }
    return location;
}

std::optional<TRecordsLocation> TRecordsLocation::Configured(const QString& option,
                                                             QString& error) {
    if (!option.isNull()) {
        return Parse(option, error);
    }
    const QFileInfo own(SettingsFilePath());
    for (const QString& path :
         {own.filePath(), own.dir().filePath(QStringLiteral("tervo-assistant.ini"))}) {
        if (const auto value = SettingOf(path)) {
            auto location = Parse(*value, error, own.absolutePath());
            if (!location) {
                error = QStringLiteral("%1, [%2] %3=: %4")
                            .arg(QDir::toNativeSeparators(path), kSection, kKey, error);
            }
            return location;
        }
    }
    return Default();
}

TRecordsLocation TRecordsLocation::Default() {
    TRecordsLocation location;
    location.Path = UserDataFile(QStringLiteral("records.sqlite"));
    return location;
}

QString TRecordsLocation::Display() const {
    if (Kind == TKind::SQLite) {
        return QDir::toNativeSeparators(Path);
    }
    const QString host = Host.startsWith(QLatin1Char('/'))
                             ? QString::fromLatin1(QUrl::toPercentEncoding(Host))
                             : Host;
    return QStringLiteral("postgresql://%1%2:%3/%4")
        .arg(User.isEmpty() ? QString() : User + QLatin1Char('@'), host, QString::number(Port),
             Database);
}
