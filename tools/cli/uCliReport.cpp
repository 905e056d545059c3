#include "uCliReport.h"

#include "uDeviceSession.h"
#include "uProvisionJob.h"
#include "uSessionReportJson.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <array>

namespace {

QJsonValue TextOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// "12 confirmed, 3 confirmed by their echo only, 1 differs, 40 not sent": the non-zero counts.
QString Counts(const TSessionReport& report) {
    static const std::pair<TParamState, const char*> kinds[] = {
        {TParamState::Confirmed, "%1 confirmed"},
        {TParamState::Echoed, "%1 confirmed by their echo only"},
        {TParamState::Differs, "%1 differ"},
        {TParamState::Unusable, "%1 answered unusably"},
        {TParamState::NoAnswer, "%1 not answered"},
        {TParamState::Refused, "%1 refused"},
        {TParamState::NotSent, "%1 not sent"},
    };
    QStringList parts;
    for (const auto& [state, text] : kinds) {
        if (const int count = report.Count(state); count > 0) {
            parts.append(QString::fromLatin1(text).arg(count));
        }
    }
    return parts.join(QStringLiteral(", "));
}

// How the session ended, with the device's identity (" (ID 101)", or empty) and the counts.
QString SessionSummary(const TSessionReport& report, const QString& id);

// A job's result: its name in the report and how much it weighs in the exit status.
struct TJobResult {
    TProvisionResult Result;
    const char* Name;
    int Status;
};

constexpr std::array<TJobResult, 10> kJobResults = {{
    {TProvisionResult::Confirmed, "confirmed", 0},
    {TProvisionResult::AlreadyDone, "already-provisioned", 0},
    {TProvisionResult::Differs, "differs", 1},
    {TProvisionResult::NotNamed, "not-in-values", 3},
    {TProvisionResult::Unusable, "unusable", 3},
    {TProvisionResult::WeakSignal, "weak-signal", 3},
    {TProvisionResult::Unplugged, "unplugged", 3},
    {TProvisionResult::NoAnswer, "no-answer", 3},
    {TProvisionResult::LineError, "line-error", 3},
    {TProvisionResult::Interrupted, "interrupted", 3},
}};

const TJobResult& JobResult(TProvisionResult result) {
    return *std::find_if(kJobResults.begin(), kJobResults.end(),
                         [result](const TJobResult& r) { return r.Result == result; });
}

int StatusOf(const TCliResult& result) {
    if (result.Outcome) {
        return JobResult(result.Outcome->Result).Status;
    }
    switch (result.Report->Result) {
    case TDeviceResult::Confirmed:
        return 0;
    case TDeviceResult::Differs:
        return 1;
    default:
        return 3;
    }
}

// The device's fields before its "params".
TJsonFields DeviceFields(const TCliResult& result) {
    const TSessionReport& report = *result.Report;
    const TProvisionOutcome* outcome = result.Outcome;
    TJsonFields fields = {{QStringLiteral("port"), result.Port},
                          {QStringLiteral("id"), TextOrNull(outcome ? outcome->Id : report.Id)},
                          {QStringLiteral("result"), CliResultName(result)}};
    const QString error = outcome ? outcome->Error : report.Error;
    if (!error.isEmpty()) {
        fields.append({QStringLiteral("error"), error});
    }
    if (outcome && outcome->Row) {
        fields.append({QStringLiteral("values"),
                       QJsonObject{{QStringLiteral("file"), outcome->ValuesFile},
                                   {QStringLiteral("line"), outcome->Row->Line},
                                   {QStringLiteral("keys"),
                                    QJsonArray::fromStringList(outcome->Row->Keys())}}});
    }
    return fields;
}

} // namespace

QString CliResultName(const TCliResult& result) {
    return result.Outcome ? QLatin1String(JobResult(result.Outcome->Result).Name)
                          : SessionResultName(*result.Report);
}

// Written by hand: a JSON object keeps its keys sorted, and the parameters go in the
// catalogue's order.
QByteArray CliReportJson(const std::vector<TCliResult>& results) {
    QByteArray out =
        "{\n  \"format\": " + QByteArray::number(kCliReportFormat) + ",\n  \"devices\": [";
    const char* deviceSeparator = "\n";
    for (const TCliResult& result : results) {
        out += deviceSeparator;
        deviceSeparator = ",\n";
        out += "    {\n";
        for (const auto& [key, value] : DeviceFields(result)) {
            out += "      " + JsonText(key) + ": " + JsonText(value) + ",\n";
        }
        out += "      \"params\": " + SessionParamsText(*result.Report, "        ", "      ") +
               "\n    }";
    }
    out += results.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

QByteArray CliDeviceLine(const TJsonFields& first, const TCliResult& result) {
    QByteArray out = "{";
    for (const auto& [key, value] : first + DeviceFields(result)) {
        out += JsonText(key) + ":" + JsonText(value) + ",";
    }
    return out + "\"params\":" + SessionParamsText(*result.Report) + "}";
}

int CliExitStatus(const std::vector<TCliResult>& results) {
    int status = 0;
    for (const TCliResult& result : results) {
        status = std::max(status, StatusOf(result));
    }
    return status;
}

QString CliSummary(const TCliResult& result) {
    const TProvisionOutcome* outcome = result.Outcome;
    const QString known = outcome ? outcome->Id : result.Report->Id;
    const QString id = known.isEmpty() ? QString() : QStringLiteral(" (ID %1)").arg(known);
    if (outcome && (outcome->Result == TProvisionResult::NotNamed ||
                    outcome->Result == TProvisionResult::Unusable)) {
        return QStringLiteral("not written%1: %2").arg(id, outcome->Error);
    }
    const QString summary = SessionSummary(*result.Report, id);
    return outcome && !outcome->ValuesText().isEmpty()
               ? QStringLiteral("%1; values from %2").arg(summary, outcome->ValuesText())
               : summary;
}

namespace {

QString SessionSummary(const TSessionReport& report, const QString& id) {
    const QString counts = Counts(report);
    const QString tail = counts.isEmpty() ? QString() : QStringLiteral("; ") + counts;
    switch (report.Result) {
    case TDeviceResult::Confirmed:
        if (report.Count(TParamState::Echoed) > 0) {
            return QStringLiteral("done%1: every value confirmed%2").arg(id, tail);
        }
        return QStringLiteral("done%1: every value confirmed").arg(id);
    case TDeviceResult::Differs:
        return QStringLiteral("done%1: %2 of %3 values differ%4")
            .arg(id)
            .arg(report.Count(TParamState::Differs) + report.Count(TParamState::Unusable))
            .arg(report.Params.size())
            .arg(tail);
    case TDeviceResult::NoAnswer:
        return QStringLiteral("device not answering%1: %2%3").arg(id, report.Error, tail);
    case TDeviceResult::Interrupted:
        return QStringLiteral("%1%2%3").arg(report.Error, id, tail);
    case TDeviceResult::LineError:
    case TDeviceResult::Cancelled:
        break;
    }
    return QStringLiteral("line error%1: %2%3").arg(id, report.Error, tail);
}

} // namespace
