#include "uSessionReportJson.h"

#include "uDeviceSession.h"

#include <QJsonValue>

namespace {

QString StateName(TParamState state) {
    switch (state) {
    case TParamState::Confirmed:
        return QStringLiteral("confirmed");
    case TParamState::Differs:
        return QStringLiteral("differs");
    case TParamState::NoAnswer:
        break;
    }
    return QStringLiteral("no-answer");
}

} // namespace

QString SessionResultName(const TSessionReport& report) {
    switch (report.Result) {
    case TDeviceResult::Confirmed:
        return QStringLiteral("confirmed");
    case TDeviceResult::Differs:
        return QStringLiteral("differs");
    case TDeviceResult::NoAnswer:
        return QStringLiteral("no-answer");
    case TDeviceResult::LineError:
    case TDeviceResult::Cancelled:
        break;
    }
    return QStringLiteral("line-error");
}

QJsonObject SessionParamsJson(const TSessionReport& report) {
    QJsonObject params;
    for (const TParamCheck& check : report.Params) {
        params.insert(check.Key,
                      QJsonObject{{QStringLiteral("state"), StateName(check.State)},
                                  {QStringLiteral("sent"), check.Sent},
                                  {QStringLiteral("device"),
                                   check.Device ? QJsonValue(*check.Device) : QJsonValue()}});
    }
    return params;
}
