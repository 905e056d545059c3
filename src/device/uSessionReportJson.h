#pragma once

#include <QJsonObject>
#include <QString>

struct TSessionReport;

// A device's report in the words of tervo-cli's JSON report, which the job records keep too.

// "confirmed", "differs", "no-answer" or "line-error".
QString SessionResultName(const TSessionReport& report);
// The per-key states: {KEY:{"state","sent","device"}}.
QJsonObject SessionParamsJson(const TSessionReport& report);
