#include "uValuesFile.h"

#include "uParamCatalogue.h"
#include "uPortList.h"
#include "uStatusReport.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <algorithm>

namespace {

struct TCell {
    QString Text;
    int Line = 0;
};

struct TRecord {
    int Line = 0;
    QList<TCell> Cells;
};

// A fault at a place of the file.
struct TFault {
    int Line = 0;
    int Column = 0; // 0: the line as a whole
    QString Reason;
};

// RFC 4180 records: cells separated by ",", records by CR LF or LF; a cell that begins with
// '"' runs to the next lone '"' and may hold commas, line breaks and doubled quotes.
std::optional<TFault> ReadRecords(const QString& text, std::vector<TRecord>& records) {
    const qsizetype size = text.size();
    const auto endOfRecord = [&](qsizetype i) {
        return text[i] == QLatin1Char('\n') ||
               (text[i] == QLatin1Char('\r') && i + 1 < size && text[i + 1] == QLatin1Char('\n'));
    };
    int line = 1;
    qsizetype i = 0;
    while (i < size) {
        TRecord record{line, {}};
        for (;;) {
            TCell cell{{}, line};
            const int column = int(record.Cells.size()) + 1;
            if (i < size && text[i] == QLatin1Char('"')) {
                for (++i;; ++i) {
                    if (i >= size) {
                        return TFault{cell.Line, column,
                                      QStringLiteral("the quoted cell does not end")};
                    }
                    if (text[i] == QLatin1Char('"')) {
                        if (i + 1 < size && text[i + 1] == QLatin1Char('"')) {
                            cell.Text += QLatin1Char('"');
                            ++i;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    line += text[i] == QLatin1Char('\n') ? 1 : 0;
                    cell.Text += text[i];
                }
                if (i < size && text[i] != QLatin1Char(',') && !endOfRecord(i)) {
                    return TFault{line, column, QStringLiteral("text after the closing quote")};
                }
            } else {
                for (; i < size && text[i] != QLatin1Char(',') && !endOfRecord(i); ++i) {
                    if (text[i] == QLatin1Char('"')) {
                        return TFault{line, column,
                                      QStringLiteral("a quote in a cell that does not begin with "
                                                     "one (quote the whole cell and double it)")};
                    }
                    cell.Text += text[i];
                }
            }
            record.Cells.append(cell);
            if (i < size && text[i] == QLatin1Char(',')) {
                ++i;
                continue;
            }
            break;
        }
        if (i < size) {
            i += text[i] == QLatin1Char('\r') ? 2 : 1;
            ++line;
        }
        // A line without any cell text is no row.
        if (record.Cells.size() > 1 || !record.Cells.first().Text.isEmpty()) {
            records.push_back(std::move(record));
        }
    }
    return std::nullopt;
}

std::optional<QString> Decode(const QByteArray& bytes, QString& text, int& badLine) {
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF")) {
        body.remove(0, 3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    text = utf8.decode(body);
    if (!utf8.hasError()) {
        return std::nullopt;
    }
    const QList<QByteArray> lines = body.split('\n');
    for (badLine = 1; badLine < int(lines.size()); ++badLine) {
        QStringDecoder line(QStringDecoder::Utf8);
        [[maybe_unused]] const QString decoded = line.decode(lines[badLine - 1]);
        if (line.hasError()) {
            break;
        }
    }
    return QStringLiteral("not UTF-8 text");
}

// Where a fault is: "values.csv: line 3, column 2"; column 0 names the line as a whole.
QString Place(const QString& name, int line, int column) {
    QString place = QStringLiteral("%1: line %2").arg(name).arg(line);
    if (column > 0) {
        place += QStringLiteral(", column %1").arg(column);
    }
    return place;
}

// The header's keys, one per column after the first; a fault names its column.
std::optional<TFault> ReadHeader(const TRecord& header, TValuesFile::TKeyColumn& keyColumn,
                                 QStringList& keys) {
    const QString first = header.Cells.first().Text.trimmed();
    if (first.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0) {
        keyColumn = TValuesFile::TKeyColumn::Id;
    } else if (first.compare(QLatin1String("PORT"), Qt::CaseInsensitive) == 0) {
        keyColumn = TValuesFile::TKeyColumn::Port;
    } else {
        return TFault{header.Line, 1,
                      QStringLiteral("the first column is ID or PORT, not \"%1\"").arg(first)};
    }
    for (int column = 2; column <= int(header.Cells.size()); ++column) {
        const QString name = header.Cells[column - 1].Text.trimmed();
        const TParamEntry* entry = TParamCatalogue::Find(name);
        QString reason;
        if (!entry) {
            reason = QStringLiteral("\"%1\" is no key a snapshot holds").arg(name);
        } else if (!entry->Writable) {
            reason = QStringLiteral("%1 cannot be written").arg(entry->Key);
        } else if (const qsizetype earlier = keys.indexOf(entry->Key); earlier >= 0) {
            reason = QStringLiteral("%1 repeats column %2").arg(entry->Key).arg(earlier + 2);
        }
        if (!reason.isEmpty()) {
            return TFault{header.Line, column, reason};
        }
        keys.append(entry->Key);
    }
    if (keys.isEmpty()) {
        return TFault{header.Line, 0, QStringLiteral("no column of values after the first")};
    }
    return std::nullopt;
}

QString PortKey(const QString& port) {
    return PortNameFromField(port.trimmed());
}

} // namespace

QStringList TValuesRow::Keys() const {
    QStringList keys;
    for (const auto& [key, value] : Values) {
        keys.append(key);
    }
    return keys;
}

QString TValuesRow::RecordText(const QString& file) const {
    QJsonObject values;
    for (const auto& [key, value] : Values) {
        values.insert(key, value);
    }
    return QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("file"), file},
                                                       {QStringLiteral("line"), Line},
                                                       {QStringLiteral("values"), values}})
                                 .toJson(QJsonDocument::Compact));
}

std::optional<QString> TValuesFile::Load(const QString& path) {
    FRows.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("Cannot read %1: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    }
    return Parse(file.readAll(), QDir::toNativeSeparators(path));
}

std::optional<QString> TValuesFile::Parse(const QByteArray& bytes, const QString& name) {
    FName = name;
    FRows.clear();
    const auto fail = [&](const TFault& fault) {
        FRows.clear();
        return Place(name, fault.Line, fault.Column) + QStringLiteral(": ") + fault.Reason;
    };
    QString text;
    int badLine = 0;
    if (const auto error = Decode(bytes, text, badLine)) {
        return fail({badLine, 0, *error});
    }
    std::vector<TRecord> records;
    if (const auto fault = ReadRecords(text, records)) {
        return fail(*fault);
    }
    if (records.empty()) {
        return fail({1, 0, QStringLiteral("no header row (ID or PORT, then snapshot keys)")});
    }
    QStringList keys;
    if (const auto fault = ReadHeader(records.front(), FKeyColumn, keys)) {
        return fail(*fault);
    }
    const bool byId = FKeyColumn == TKeyColumn::Id;
    QHash<QString, int> deviceLines;
    for (auto record = records.begin() + 1; record != records.end(); ++record) {
        if (record->Cells.size() != keys.size() + 1) {
            return fail({record->Line, 0,
                         QStringLiteral("%1 cells, but the header has %2")
                             .arg(record->Cells.size())
                             .arg(keys.size() + 1)});
        }
        const TCell& deviceCell = record->Cells.first();
        TValuesRow row{deviceCell.Text.trimmed(), record->Line, {}};
        if (byId && !IsDeviceId(row.Device)) {
            return fail({deviceCell.Line, 1,
                         QStringLiteral("a device ID is 1 to %1 digits, not \"%2\"")
                             .arg(kMaxDeviceIdDigits)
                             .arg(row.Device)});
        }
        if (!byId && row.Device.isEmpty()) {
            return fail({deviceCell.Line, 1, QStringLiteral("no port")});
        }
        const QString device = byId ? row.Device : PortKey(row.Device);
        if (const int earlier = deviceLines.value(device); earlier > 0) {
            return fail(
                {deviceCell.Line, 1,
                 QStringLiteral("%1 has a row already (line %2)").arg(row.Device).arg(earlier)});
        }
        deviceLines.insert(device, row.Line);
        for (int column = 2; column <= int(record->Cells.size()); ++column) {
            const TCell& cell = record->Cells[column - 1];
            if (cell.Text.isEmpty()) {
                continue;
            }
            // A cell may hold what a snapshot's value may hold.
            const QString& key = keys[column - 2];
            if (const auto error =
                    TParamCatalogue::CheckSetting(key, cell.Text, Place(name, cell.Line, column))) {
                FRows.clear();
                return error;
            }
            row.Values.append({key, cell.Text});
        }
        FRows.push_back(std::move(row));
    }
    return std::nullopt;
}

const TValuesRow* TValuesFile::RowFor(const QString& id, const QString& port) const {
    const bool byId = FKeyColumn == TKeyColumn::Id;
    const QString wanted = byId ? id : PortKey(port);
    const auto it = std::find_if(FRows.begin(), FRows.end(), [&](const TValuesRow& row) {
        return !wanted.isEmpty() && (byId ? row.Device : PortKey(row.Device)) == wanted;
    });
    return it == FRows.end() ? nullptr : &*it;
}

TSnapshot TValuesFile::Apply(const TSnapshot& templ, const TValuesRow& row) {
    TSnapshot snapshot = templ;
    for (const auto& [key, value] : row.Values) {
        snapshot.SetParam(key, value);
    }
    return snapshot;
}
