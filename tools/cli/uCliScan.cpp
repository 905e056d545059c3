#include "uCliScan.h"

#include "uCliOptions.h"
#include "uPortList.h"
#include "uPortProbe.h"
#include "uUtils.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <cstdio>

namespace {

using namespace std::chrono_literals;

constexpr auto kPerPort = 2000ms;
constexpr int kNoneAnswered = 3;

// Name in the JSON and words in the table, per state.
struct TStateText {
    TPortProbe::TState State;
    const char* Name;
    const char* Words;
};

constexpr std::array<TStateText, 6> kStates = {{
    {TPortProbe::TState::Answered, "answered", ""},
    {TPortProbe::TState::NoAnswer, "no-answer", "no answer within 2 s"},
    {TPortProbe::TState::Busy, "busy", "busy: another program has the port open"},
    {TPortProbe::TState::NoPermission, "permission", "no permission to use the port"},
    {TPortProbe::TState::Missing, "missing", "no such port"},
    {TPortProbe::TState::Failed, "error", "cannot open the port"},
}};

const TStateText& TextOf(TPortProbe::TState state) {
    return *std::find_if(kStates.begin(), kStates.end(),
                         [state](const TStateText& text) { return text.State == state; });
}

QString Level(const std::optional<int>& level) {
    return level ? QString::number(*level) : QStringLiteral("?");
}

QJsonValue LevelJson(const std::optional<int>& level) {
    return level ? QJsonValue(*level) : QJsonValue();
}

QByteArray Json(const std::vector<TPortProbe>& probes) {
    QJsonArray ports;
    for (const TPortProbe& probe : probes) {
        QJsonObject row{{QStringLiteral("port"), probe.Port},
                        {QStringLiteral("state"), QLatin1String(TextOf(probe.State).Name)}};
        if (probe.State == TPortProbe::TState::Answered) {
            const TStatusReport& status = probe.Status;
            row.insert(QStringLiteral("id"), status.Id);
            row.insert(QStringLiteral("firmware"),
                       probe.Firmware.isEmpty() ? QJsonValue() : QJsonValue(probe.Firmware));
            row.insert(QStringLiteral("alias"), status.Alias);
            row.insert(QStringLiteral("gps"), LevelJson(status.Gps));
            row.insert(QStringLiteral("gsm"), LevelJson(status.Gsm));
            row.insert(QStringLiteral("battery"), LevelJson(status.Battery));
        }
        if (!probe.Error.isEmpty()) {
            row.insert(QStringLiteral("error"), probe.Error);
        }
        ports.append(row);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("ports"), ports}})
        .toJson(QJsonDocument::Indented);
}

// Columns as wide as their widest cell; a port that did not answer says why across the rest.
QString Table(const std::vector<TPortProbe>& probes) {
    std::vector<QStringList> rows = {{QStringLiteral("PORT"), QStringLiteral("ID"),
                                      QStringLiteral("FIRMWARE"), QStringLiteral("ALIAS"),
                                      QStringLiteral("GPS"), QStringLiteral("GSM"),
                                      QStringLiteral("BATTERY")}};
    for (const TPortProbe& probe : probes) {
        if (probe.State == TPortProbe::TState::Answered) {
            const TStatusReport& status = probe.Status;
            rows.push_back({probe.Port, status.Id,
                            probe.Firmware.isEmpty() ? QStringLiteral("?") : probe.Firmware,
                            status.Alias.isEmpty() ? QStringLiteral("-") : status.Alias,
                            Level(status.Gps), Level(status.Gsm), Level(status.Battery) + '%'});
        } else {
            QString words = QLatin1String(TextOf(probe.State).Words);
            if (probe.State == TPortProbe::TState::Failed) {
                words += QStringLiteral(": ") + probe.Error.section(QLatin1Char('\n'), 0, 0);
            }
            rows.push_back({probe.Port, words});
        }
    }
    // What the device sent is shown, never acted on by the terminal.
    for (QStringList& row : rows) {
        for (QString& cell : row) {
            cell = EscapeControls(cell);
        }
    }
    std::vector<qsizetype> widths(rows.front().size(), 0);
    for (const QStringList& row : rows) {
        // A reason runs across the columns after the port: it sets no width.
        for (qsizetype i = 0; i < (row.size() == 2 ? 1 : row.size()); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    QString text;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i) {
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        }
        text += line + QLatin1Char('\n');
    }
    return text;
}

} // namespace

int RunScan(const TCliOptions& options) {
    const QStringList ports = options.Ports.isEmpty() ? RefreshPortList() : options.Ports;
    const std::vector<TPortProbe> probes = ProbePorts(ports, options.Baud, kPerPort);
    if (options.Json) {
        std::printf("%s", Json(probes).constData());
    } else if (probes.empty()) {
        std::fprintf(stderr, "tervo-cli: this system lists no serial port\n");
    } else {
        std::printf("%s", qPrintable(Table(probes)));
    }
    const bool answered = std::any_of(probes.begin(), probes.end(), [](const TPortProbe& p) {
        return p.State == TPortProbe::TState::Answered;
    });
    return answered ? 0 : kNoneAnswered;
}
