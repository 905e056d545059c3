#include "uCliReport.h"

#include "uDeviceSession.h"
#include "uSessionReportJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {

// A JSON value as compact text.
QByteArray Json(const QJsonValue& value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.sliced(1, array.size() - 2);
}

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

} // namespace

// Written by hand: a JSON object keeps its keys sorted, and the parameters go in the
// catalogue's order.
QByteArray CliReportJson(const std::vector<TCliResult>& results) {
    QByteArray out =
        "{\n  \"format\": " + QByteArray::number(kCliReportFormat) + ",\n  \"devices\": [";
    const char* deviceSeparator = "\n";
    for (const TCliResult& result : results) {
        const TSessionReport& report = *result.Report;
        out += deviceSeparator;
        deviceSeparator = ",\n";
        out += "    {\n      \"port\": " + Json(result.Port) +
               ",\n      \"id\": " + Json(TextOrNull(report.Id)) +
               ",\n      \"result\": " + Json(SessionResultName(report)) + ",\n";
        if (!report.Error.isEmpty()) {
            out += "      \"error\": " + Json(report.Error) + ",\n";
        }
        out += "      \"params\": {";
        const char* paramSeparator = "\n";
        for (const TParamCheck* check : SessionParamsInOrder(report)) {
            out += paramSeparator;
            paramSeparator = ",\n";
            out += "        " + Json(check->Key) + ": " + Json(SessionParamJson(*check));
        }
        out += report.Params.empty() ? "}\n    }" : "\n      }\n    }";
    }
    out += results.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

int CliExitStatus(const std::vector<TCliResult>& results) {
    const auto any = [&](auto test) {
        return std::any_of(results.begin(), results.end(),
                           [&](const TCliResult& r) { return test(r.Report->Result); });
    };
    if (any([](TDeviceResult r) {
            return r != TDeviceResult::Confirmed && r != TDeviceResult::Differs;
        })) {
        return 3;
    }
    return any([](TDeviceResult r) { return r == TDeviceResult::Differs; }) ? 1 : 0;
}

QString CliSummary(const TSessionReport& report) {
    const QString id = report.Id.isEmpty() ? QString() : QStringLiteral(" (ID %1)").arg(report.Id);
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
