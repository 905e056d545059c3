#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

struct TSessionReport;

// One device's line of a tervo-cli run.
struct TCliResult {
    QString Port;
    const TSessionReport* Report = nullptr;
};

// The version of the report's layout, its "format" key.
inline constexpr int kCliReportFormat = 1;

// The JSON report (docs/report.md):
// {"format":1,"devices":[{"port","id","result","error","params":{KEY:{state,sent,device}}}]},
// the keys of "params" in the catalogue's order.
QByteArray CliReportJson(const std::vector<TCliResult>& results);
// 0 every value confirmed, 1 some value differs, 3 some device did not answer or its line
// failed (this wins over 1).
int CliExitStatus(const std::vector<TCliResult>& results);
// The last progress line of a device: how it ended and what became of its values.
QString CliSummary(const TSessionReport& report);
