#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <vector>

struct TProvisionOutcome;
struct TSessionReport;

// One device's line of a tervo-cli run.
struct TCliResult {
    QString Port;
    const TSessionReport* Report = nullptr;
    // With a values file, or at a station: who the device said it was, which row it got and
    // how its job ended.
    const TProvisionOutcome* Outcome = nullptr;
};

// Keys and values in the order they are written.
using TJsonFields = QList<std::pair<QString, QJsonValue>>;

// The version of the report's layout, its "format" key.
inline constexpr int kCliReportFormat = 1;

// The JSON report (docs/report.md):
// {"format":1,"devices":[{"port","id","result","error","values","params":{KEY:{state,sent,
// device}}}]}, the keys of "params" in the catalogue's order; "values" ({"file","line","keys"})
// for a device that got a row of a values file.
QByteArray CliReportJson(const std::vector<TCliResult>& results);
// One device on one line, after the given fields (the station's report).
QByteArray CliDeviceLine(const TJsonFields& first, const TCliResult& result);
// The device's result: the session's, or with a values file or at a station also
// "not-in-values", "already-provisioned", "weak-signal", "unplugged", "interrupted".
QString CliResultName(const TCliResult& result);
// 0 every value confirmed, 1 some value differs, 3 some device did not answer, its line
// failed or it did not get its values (this wins over 1).
int CliExitStatus(const std::vector<TCliResult>& results);
// The last progress line of a device: how it ended and what became of its values.
QString CliSummary(const TCliResult& result);
