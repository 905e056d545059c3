#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <vector>

struct TParamCheck;
struct TSessionReport;
enum class TParamState;

// A device's report in the words of tervo-cli's JSON report, which the job records keep too
// (docs/report.md).

// "confirmed", "differs", "no-answer", "line-error", "interrupted" or "cancelled" (by the
// user, in the window).
QString SessionResultName(const TSessionReport& report);
// "confirmed", "echoed", "differs", "no-answer", "not-sent", "unusable" or "refused".
QString SessionStateName(TParamState state);
// The report's keys in the catalogue's order (P08.2 before P08.10).
std::vector<const TParamCheck*> SessionParamsInOrder(const TSessionReport& report);
// A JSON value as compact text.
QByteArray JsonText(const QJsonValue& value);
// One key's {"state","sent","device"}.
QJsonObject SessionParamJson(const TParamCheck& check);
// The per-key states as JSON text, {KEY:{"state","sent","device"},...} in the catalogue's
// order: compact, or with indent one key a line led by indent, the closing brace on a line
// of its own led by closingIndent.
QByteArray SessionParamsText(const TSessionReport& report, const QByteArray& indent = {},
                             const QByteArray& closingIndent = {});
