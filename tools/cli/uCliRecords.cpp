#include "uCliRecords.h"

#include "uCliDevice.h"
#include "uCliOptions.h"
#include "uCliReport.h"
#include "uRecorder.h"
#include "uSessionReportJson.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QStringList>
#include <cstdio>

namespace {

QByteArray CsvField(const QString& text) {
    static const QString special = QStringLiteral(",\"\r\n");
    const bool quoted =
        std::any_of(text.begin(), text.end(), [](QChar c) { return special.contains(c); });
    if (!quoted) {
        return text.toUtf8();
    }
    QString doubled = text;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return '"' + doubled.toUtf8() + '"';
}

QString Seconds(qint64 ms) {
    return QLocale::c().toString(double(ms) / 1000.0, 'f', 1) + QStringLiteral(" s");
}

} // namespace

TJobRecord CliJobRecord(const TCliOptions& options, const TCliDevice& device,
                        const QByteArray& snapshotBytes) {
    const TSessionReport& report = device.Report();
    TJobRecord record = TJobRecord::Begin(device.Started());
    record.DurationMs = device.ElapsedMs();
    record.Port = device.Port();
    record.DeviceId = report.Id;
    record.Operation = options.Command;
    if (options.Command == QLatin1String("backup")) {
        record.Firmware = device.Backup().DeviceValue(QStringLiteral("Firmware"));
        record.Alias = device.Backup().DeviceValue(QStringLiteral("Alias"));
    } else {
        record.SetTemplate(options.Files.value(0), snapshotBytes);
        // A restore or verify reads no firmware; the alias when the snapshot has it.
        for (const TParamCheck& check : report.Params) {
            if (check.Key == QLatin1String("P17") && check.Device) {
                record.Alias = *check.Device;
            }
        }
    }
    record.Result = SessionResultName(report);
    record.Detail = report.Error;
    if (const auto& outcome = device.Outcome()) {
        // Asked who it is first: its identity and alias from its status report, and the row
        // of the values file it got.
        record.DeviceId = outcome->Id;
        if (outcome->Status) {
            record.Alias = outcome->Status->Alias;
        }
        record.Result = CliResultName({device.Port(), &report, &*outcome});
        record.Detail = outcome->Error;
        if (outcome->Row) {
            record.ValuesRow = outcome->Row->RecordText(outcome->ValuesFile);
        }
    }
    record.States = QString::fromUtf8(SessionParamsText(report));
    return record;
}

void KeepCliRecords(TRecorder& recorder, const std::vector<TJobRecord>& records) {
    for (const TJobRecord& record : records) {
        const QString notice = recorder.Record(record).Notice;
        if (!notice.isEmpty()) {
            std::fprintf(stderr, "tervo-cli: %s\n", qPrintable(notice));
        }
    }
}

QByteArray RecordsTable(const std::vector<TJobRecord>& records) {
    std::vector<QStringList> rows = {
        {QStringLiteral("Time (UTC)"), QStringLiteral("Device"), QStringLiteral("Operation"),
         QStringLiteral("Result"), QStringLiteral("Port"), QStringLiteral("Station"),
         QStringLiteral("User"), QStringLiteral("Template"), QStringLiteral("Duration")}};
    for (const TJobRecord& r : records) {
        rows.push_back({QString(r.Time).replace(QLatin1Char('T'), QLatin1Char(' ')).chopped(1),
                        r.DeviceId.isEmpty() ? QStringLiteral("-") : r.DeviceId, r.Operation,
                        r.Result, r.Port, r.Station, r.User,
                        r.Template.isEmpty() ? QStringLiteral("-") : r.Template,
                        Seconds(r.DurationMs)});
    }
    std::vector<qsizetype> widths(rows.front().size(), 0);
    for (const QStringList& row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    QByteArray table;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i) {
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        }
        table += line.trimmed().toUtf8() + '\n';
    }
    return table;
}

QByteArray RecordsCsv(const std::vector<TJobRecord>& records) {
    QList<QByteArray> header;
    for (const TRecordField& field : RecordTextFields()) {
        header.append(field.Json);
    }
    header.append("duration_ms");
    QByteArray csv = header.join(',') + "\r\n";
    for (const TJobRecord& record : records) {
        QList<QByteArray> fields;
        for (const TRecordField& field : RecordTextFields()) {
            fields.append(CsvField(record.*field.Member));
        }
        fields.append(QByteArray::number(record.DurationMs));
        csv += fields.join(',') + "\r\n";
    }
    return csv;
}

QByteArray RecordsJson(const std::vector<TJobRecord>& records) {
    QJsonArray array;
    for (const TJobRecord& record : records) {
        array.append(record.ToJson());
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

int RunRecords(const TCliOptions& options) {
    QString error;
    const auto location = TRecordsLocation::Configured(options.Records, error);
    if (!location) {
        std::fprintf(stderr, "tervo-cli: %s\n", qPrintable(error));
        return 2;
    }
    // Listing creates nothing: a database file that is not there cannot be read.
    if (location->Kind == TRecordsLocation::TKind::SQLite && !QFileInfo::exists(location->Path)) {
        std::fprintf(stderr, "tervo-cli: cannot read the records database %s: no such file\n",
                     qPrintable(location->Display()));
        return 2;
    }
    TRecorder recorder(*location);
    std::vector<TJobRecord> records;
    QString notice;
    if (const auto findError = recorder.Find(options.Filter, records, notice)) {
        std::fprintf(stderr, "tervo-cli: cannot read the records database %s: %s\n",
                     qPrintable(location->Display()), qPrintable(*findError));
        return 2;
    }
    if (!notice.isEmpty()) {
        std::fprintf(stderr, "tervo-cli: %s\n", qPrintable(notice));
    }
    if (records.empty() && options.Format == QLatin1String("table")) {
        std::fprintf(stderr, "tervo-cli: no records match\n");
        return 1;
    }
    const QByteArray text = options.Format == QLatin1String("csv")    ? RecordsCsv(records)
                            : options.Format == QLatin1String("json") ? RecordsJson(records)
                                                                      : RecordsTable(records);
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return records.empty() ? 1 : 0;
}
