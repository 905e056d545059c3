#include "uStatusReport.h"

#include "uNumbers.h"
#include "uUtils.h"

#include <QStringList>
#include <algorithm>

bool IsDeviceId(const QString& text) {
    return !text.isEmpty() && text.size() <= kMaxDeviceIdDigits &&
           std::all_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

std::optional<TStatusReport> TStatusReport::FromReply(const QByteArray& reply) {
    if (reply.size() < 2) {
        return std::nullopt;
    }
    const QStringList fields = SplitArgs(QString::fromLatin1(reply.sliced(1, reply.size() - 2)));
    if (fields.value(1) != QLatin1String("T01")) {
        return std::nullopt;
    }
    const auto level = [&](int field) -> std::optional<int> {
        return field < fields.size() ? TextToInt(fields[field]) : std::nullopt;
    };
    return TStatusReport{fields[0], fields.value(3), level(4), level(5), level(6)};
}

bool TStatusReport::Reaches(int gps, int gsm) const {
    return Gps.value_or(-1) >= gps && Gsm.value_or(-1) >= gsm;
}
