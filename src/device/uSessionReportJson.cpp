#include "uSessionReportJson.h"

#include "uDeviceSession.h"
#include "uParamCatalogue.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <algorithm>

QString SessionStateName(TParamState state) {
    switch (state) {
    case TParamState::Confirmed:
        return QStringLiteral("confirmed");
    case TParamState::Echoed:
        return QStringLiteral("echoed");
    case TParamState::Differs:
        return QStringLiteral("differs");
    case TParamState::NoAnswer:
        return QStringLiteral("no-answer");
    case TParamState::NotSent:
        return QStringLiteral("not-sent");
    case TParamState::Unusable:
        return QStringLiteral("unusable");
    case TParamState::Refused:
        break;
    }
    return QStringLiteral("refused");
}

QString SessionResultName(const TSessionReport& report) {
    switch (report.Result) {
    case TDeviceResult::Confirmed:
        return QStringLiteral("confirmed");
    case TDeviceResult::Differs:
        return QStringLiteral("differs");
    case TDeviceResult::NoAnswer:
        return QStringLiteral("no-answer");
    case TDeviceResult::Interrupted:
        return QStringLiteral("interrupted");
    case TDeviceResult::Cancelled:
        return QStringLiteral("cancelled");
    case TDeviceResult::LineError:
        break;
    }
    return QStringLiteral("line-error");
}

std::vector<const TParamCheck*> SessionParamsInOrder(const TSessionReport& report) {
    static const QHash<QString, int> order = [] {
        QHash<QString, int> positions;
        int position = 0;
        for (const TParamEntry& entry : TParamCatalogue::Entries()) {
            positions.insert(entry.Key, position++);
        }
        return positions;
    }();
    std::vector<const TParamCheck*> checks;
    for (const TParamCheck& check : report.Params) {
        checks.push_back(&check);
    }
    std::stable_sort(checks.begin(), checks.end(), [](const TParamCheck* a, const TParamCheck* b) {
        return order.value(a->Key) < order.value(b->Key);
    });
    return checks;
}

QJsonObject SessionParamJson(const TParamCheck& check) {
    return QJsonObject{
        {QStringLiteral("state"), SessionStateName(check.State)},
        {QStringLiteral("sent"), check.Sent},
        {QStringLiteral("device"), check.Device ? QJsonValue(*check.Device) : QJsonValue()}};
}

QByteArray JsonText(const QJsonValue& value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.sliced(1, array.size() - 2);
}

QByteArray SessionParamsText(const TSessionReport& report, const QByteArray& indent,
                             const QByteArray& closingIndent) {
    // By hand: a JSON object keeps its keys sorted.
    const bool lines = !indent.isEmpty();
    QByteArray text = "{";
    const char* separator = "";
    for (const TParamCheck* check : SessionParamsInOrder(report)) {
        text += separator;
        separator = ",";
        if (lines) {
            text += '\n' + indent;
        }
        text += JsonText(check->Key) + (lines ? ": " : ":") + JsonText(SessionParamJson(*check));
    }
    if (lines && !report.Params.empty()) {
        text += '\n' + closingIndent;
    }
    return text + '}';
}
