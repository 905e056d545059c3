#include "uJobRecord.h"

#include "uCommandLine.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUuid>
#include <array>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

QString UserName() {
#ifdef Q_OS_UNIX
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
#endif
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

bool IsRecordTime(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"));
    return form.match(text).hasMatch();
}

} // namespace

const std::array<TRecordField, 17>& RecordTextFields() {
    static const std::array<TRecordField, 17> fields = {{
        {"uid", "uid", &TJobRecord::Uid},
        {"time", "time_utc", &TJobRecord::Time},
        {"station", "station", &TJobRecord::Station},
        {"user", "user_name", &TJobRecord::User},
        {"program", "program", &TJobRecord::Program},
        {"version", "version", &TJobRecord::Version},
        {"port", "port", &TJobRecord::Port},
        {"device_id", "device_id", &TJobRecord::DeviceId},
        {"firmware", "firmware", &TJobRecord::Firmware},
        {"alias", "alias", &TJobRecord::Alias},
        {"operation", "operation", &TJobRecord::Operation},
        {"template", "template", &TJobRecord::Template},
        {"template_sha256", "template_sha256", &TJobRecord::TemplateSha256},
        {"values_row", "values_row", &TJobRecord::ValuesRow},
        {"result", "result", &TJobRecord::Result},
        {"detail", "detail", &TJobRecord::Detail},
        {"states", "states", &TJobRecord::States},
    }};
    return fields;
}

TJobRecord TJobRecord::Begin(const QDateTime& started) {
    TJobRecord record;
    record.Uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record.Time = RecordTime(started);
    record.Station = QSysInfo::machineHostName();
    record.User = UserName();
    record.Program = QCoreApplication::applicationName();
    record.Version = ProgramVersion();
    return record;
}

void TJobRecord::End() {
    const QDateTime started = QDateTime::fromString(Time, Qt::ISODateWithMs);
    DurationMs = started.isValid() ? started.msecsTo(QDateTime::currentDateTimeUtc()) : 0;
}

void TJobRecord::SetTemplate(const QString& fileName, const QByteArray& bytes) {
    Template = QFileInfo(fileName).fileName();
    TemplateSha256 =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QJsonObject TJobRecord::ToJson() const {
    QJsonObject object;
    for (const TRecordField& field : RecordTextFields()) {
        object.insert(QLatin1String(field.Json), this->*field.Member);
    }
    // The states are JSON already: kept as a value, so the whole line stays one document.
    const QJsonDocument states = QJsonDocument::fromJson(States.toUtf8());
    object.insert(QStringLiteral("states"),
                  states.isObject() ? QJsonValue(states.object()) : QJsonValue(States));
    object.insert(QStringLiteral("duration_ms"), DurationMs);
    return object;
}

std::optional<TJobRecord> TJobRecord::FromJson(const QJsonObject& object) {
    TJobRecord record;
    for (const TRecordField& field : RecordTextFields()) {
        const QJsonValue value = object.value(QLatin1String(field.Json));
        if (value.isObject()) {
            record.*field.Member =
                QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
        } else if (value.isString()) {
            record.*field.Member = value.toString();
        } else {
            return std::nullopt;
        }
    }
    const QJsonValue duration = object.value(QStringLiteral("duration_ms"));
    if (!duration.isDouble() || record.Uid.isEmpty() || !IsRecordTime(record.Time)) {
        return std::nullopt;
    }
    record.DurationMs = duration.toInteger();
    return record;
}

QString RecordTime(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

std::optional<QString> RecordTimeOf(const QString& text, bool endOfDay) {
    const QString trimmed = text.trimmed();
    const QDate day = QDate::fromString(trimmed, Qt::ISODate);
    if (day.isValid() && trimmed.size() == 10) {
        const QDateTime first(day, QTime(0, 0), Qt::UTC);
        return RecordTime(endOfDay ? first.addDays(1).addMSecs(-1) : first);
    }
    QDateTime time = QDateTime::fromString(trimmed, Qt::ISODateWithMs);
    if (!time.isValid()) {
        return std::nullopt;
    }
    if (time.timeSpec() == Qt::LocalTime) {
        time.setTimeSpec(Qt::UTC);
    }
    return RecordTime(time);
}
