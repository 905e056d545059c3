#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// A device identity: 1 to 20 decimal digits.
inline constexpr int kMaxDeviceIdDigits = 20;
bool IsDeviceId(const QString& text);

// A device's status report "(ID,T01,x,alias,gps,gsm,battery)" as read by the command line:
// the levels as the device gives them, nullopt where a field holds no number.
struct TStatusReport {
    QString Id;
    QString Alias;
    std::optional<int> Gps, Gsm, Battery;

    // nullopt when the reply is no status report.
    static std::optional<TStatusReport> FromReply(const QByteArray& reply);
    // GPS and GSM reach (at least) the given levels.
    bool Reaches(int gps, int gsm) const;
};
