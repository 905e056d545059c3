#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <array>
#include <optional>

// What one job did to one device: who ran it, where, when, with what, and how it ended.
// Every record has an id of its own, so a record stored twice (a spool replayed after a crash)
// is still one record.
struct TJobRecord {
    QString Uid;            // a UUID
    QString Time;           // UTC, ISO 8601 with milliseconds: "2024-05-01T09:30:12.345Z"
    QString Station;        // the PC's host name
    QString User;           // who was logged in
    QString Program;        // "tervo-cli", "tervo-assistant"
    QString Version;        // the program's version
    QString Port;           // the serial port as the user named it
    QString DeviceId;       // the device's identity; empty when it never answered
    QString Firmware;       // as the device reported it, when it did
    QString Alias;          // likewise
    QString Operation;      // backup, restore, verify, station, compare, write-all, factory-default
    QString Template;       // the snapshot file the job wrote or compared, when there was one
    QString TemplateSha256; // of that file's bytes, lower-case hex
    QString ValuesRow;      // the per-device values used, when the job had any
    QString Result;         // confirmed, differs, no-answer, line-error, ...
    QString Detail;         // why it did not end confirmed, in words
    QString States;         // the per-key states as JSON text, as the job report has them
    qint64 DurationMs = 0;

    // A new record of a job that started at started: its id, time, station, user, program
    // and version filled in.
    static TJobRecord Begin(const QDateTime& started = QDateTime::currentDateTimeUtc());
    // Sets the duration from the start time to now.
    void End();

    // The template's name and the SHA-256 of the bytes given.
    void SetTemplate(const QString& fileName, const QByteArray& bytes);

    // One JSON object with every field; the states as a JSON value of their own.
    QJsonObject ToJson() const;
    // The record from ToJson's object; nullopt when a field is missing or malformed.
    static std::optional<TJobRecord> FromJson(const QJsonObject& object);

    bool operator==(const TJobRecord&) const = default;
};

// The record time form: UTC with milliseconds and "Z". Sorts as the times do.
QString RecordTime(const QDateTime& time);
// A date ("2024-05-01") or date and time ("2024-05-01T10:00", with an offset or "Z"; without
// one it is UTC) in the record time form. A date alone is its first moment, or with endOfDay
// its last. nullopt when the text is neither.
std::optional<QString> RecordTimeOf(const QString& text, bool endOfDay);

// A text field of the record: its name in JSON and its column in the database.
struct TRecordField {
    const char* Json;
    const char* Column;
    QString TJobRecord::*Member;
};
// Every text field in column order; the duration (duration_ms) is the one number.
const std::array<TRecordField, 17>& RecordTextFields();
