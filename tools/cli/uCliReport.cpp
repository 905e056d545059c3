#include "uCliReport.h"

#include "uDeviceSession.h"
#include "uSessionReportJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {

QJsonValue TextOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

} // namespace

QByteArray CliReportJson(const std::vector<TCliResult>& results) {
    QJsonArray devices;
    for (const TCliResult& result : results) {
        const TSessionReport& report = *result.Report;
        QJsonObject device{{QStringLiteral("port"), result.Port},
                           {QStringLiteral("id"), TextOrNull(report.Id)},
                           {QStringLiteral("result"), SessionResultName(report)},
                           {QStringLiteral("params"), SessionParamsJson(report)}};
        if (!report.Error.isEmpty()) {
            device.insert(QStringLiteral("error"), report.Error);
        }
        devices.append(device);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("format"), kCliReportFormat},
                                     {QStringLiteral("devices"), devices}})
        .toJson(QJsonDocument::Indented);
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
    const auto count = [&](TParamState state) {
        return std::count_if(report.Params.begin(), report.Params.end(),
                             [state](const TParamCheck& c) { return c.State == state; });
    };
    const QString id = report.Id.isEmpty() ? QString() : QStringLiteral(" (ID %1)").arg(report.Id);
    switch (report.Result) {
    case TDeviceResult::Confirmed:
        return QStringLiteral("done%1: every value confirmed").arg(id);
    case TDeviceResult::Differs:
        return QStringLiteral("done%1: %2 of %3 values differ")
            .arg(id)
            .arg(count(TParamState::Differs))
            .arg(report.Params.size());
    case TDeviceResult::NoAnswer:
        return QStringLiteral("device not answering%1: %2").arg(id, report.Error);
    case TDeviceResult::LineError:
    case TDeviceResult::Cancelled:
        break;
    }
    return QStringLiteral("line error%1: %2").arg(id, report.Error);
}
