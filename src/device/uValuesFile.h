#pragma once

#include "uSnapshot.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

// One device's row of a values file: the settings that are its own.
struct TValuesRow {
    QString Device; // the identity or the port, as the file names it
    int Line = 0;   // the file's line where the row starts
    // Catalogue key and value of every cell that is not empty, in column order.
    QList<std::pair<QString, QString>> Values;

    QStringList Keys() const;
    // The row as a job's record keeps it: {"file","line","values":{KEY:value}}, compact JSON.
    QString RecordText(const QString& file) const;
};

// Per-device values for a template snapshot: CSV (RFC 4180), UTF-8, a header row. The first
// column is ID (the device's identity) or PORT; every other column is a snapshot key, and a
// cell that is not empty replaces the template's value of that key for that device.
//
// Every cell is checked when the file is read, as a snapshot's value is, so a file with one
// bad cell is refused whole before any device is touched; the message names the file, the
// line and the column.
class TValuesFile {
public:
    enum class TKeyColumn { Id, Port };

    std::optional<QString> Load(const QString& path);
    // name is the file's name in messages.
    std::optional<QString> Parse(const QByteArray& bytes, const QString& name);

    const QString& Name() const { return FName; }
    TKeyColumn KeyColumn() const { return FKeyColumn; }
    const std::vector<TValuesRow>& Rows() const { return FRows; }

    // The row that names the device, by its identity or by the port it is on (compared as
    // the port is opened, so "ttyUSB0" and "/dev/ttyUSB0" are one port); nullptr when no row
    // does.
    const TValuesRow* RowFor(const QString& id, const QString& port) const;
    // The template with the row's values in place of its own (keys it lacks are added).
    static TSnapshot Apply(const TSnapshot& templ, const TValuesRow& row);

private:
    QString FName;
    TKeyColumn FKeyColumn = TKeyColumn::Id;
    std::vector<TValuesRow> FRows;
};
