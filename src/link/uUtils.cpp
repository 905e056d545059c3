#include "uUtils.h"

#include "uNumbers.h"

#include <cmath>

namespace {

constexpr char kDelimiter = '!';
constexpr char kEscape = '=';
constexpr char kHeader1 = 0x06;
constexpr char kHeader2 = 0x09;

// The device keeps minutes with four decimals: 600,000 steps to a degree.
constexpr double kStepsPerDegree = 600000.0;
constexpr std::int64_t kStepsPerWholeDegree = 600000;
constexpr std::int64_t kStepsPerMinute = 10000;

// The length and checksum bytes must not look like a delimiter or an escape.
void AppendEscaped(QByteArray& out, unsigned char value) {
    if (value == static_cast<unsigned char>(kDelimiter)) {
        out.append(kEscape).append(char(0x1C));
    } else if (value == static_cast<unsigned char>(kEscape)) {
        out.append(kEscape).append(char(0x00));
    } else {
        out.append(static_cast<char>(value));
    }
}

double NumberOrZero(const QString& text) {
    return TextToDouble(text).value_or(0.0);
}

} // namespace

std::optional<QByteArray> EncodeFrame(const QByteArray& body) {
    if (body.size() > kMaxFrameBody) {
        return std::nullopt;
    }
    const auto length = static_cast<unsigned char>(body.size());
    const std::int32_t sum = length + ByteSum(body) + kHeader1 + kHeader2;

    QByteArray frame;
    frame.reserve(body.size() + 10);
    frame.append(kDelimiter).append(kHeader1).append(kHeader2);
    AppendEscaped(frame, length);
    frame.append(body);
    AppendEscaped(frame, static_cast<unsigned char>(sum / 256));
    AppendEscaped(frame, static_cast<unsigned char>(sum % 256));
    frame.append(kDelimiter);
    return frame;
}

std::int32_t ByteSum(const QByteArray& text) {
    std::int32_t sum = 0;
    for (const char c : text) {
        sum += static_cast<unsigned char>(c);
    }
    return sum;
}

bool HasCompleteFrame(const QByteArray& buffer) {
    const qsizetype start = buffer.indexOf(kDelimiter);
    return start >= 0 && buffer.indexOf(kDelimiter, start + 1) >= 0;
}

bool ExtractFrame(QByteArray& buffer, QByteArray& text) {
    text.clear();
    const qsizetype start = buffer.indexOf(kDelimiter);
    if (start < 0) {
        return false;
    }
    const qsizetype end = buffer.indexOf(kDelimiter, start + 1);
    if (end < 0) {
        return false; // a partial frame waits for more bytes
    }
    // The receiver relies on the delimiters and the parentheses only, but behind a device
    // header the length byte is skipped: a 40-byte text has the length "(".
    const QByteArrayView frame(buffer.constData() + start, end - start + 1);
    qsizetype textFrom = 0;
    if (frame.size() > 4 && frame[1] == kHeader1 && frame[2] == kHeader2) {
        textFrom = frame[3] == kEscape ? 5 : 4;
    }
    const qsizetype open = frame.indexOf('(', textFrom);
    const qsizetype close = open < 0 ? -1 : frame.indexOf(')', open + 1);
    if (close < 0) {
        // Most likely a stray "!" paired with the next frame's start: keep the closing
        // "!" so that frame can still be read.
        buffer.remove(0, end);
        return false;
    }
    text = frame.sliced(open, close - open + 1).toByteArray();
    buffer.remove(0, end + 1);
    return true;
}

QStringList SplitArgs(const QString& text) {
    return text.split(QLatin1Char(','), Qt::KeepEmptyParts);
}

double CoordToDegrees(const QString& text) {
    constexpr qsizetype kMinuteChars = 7; // "mm.ffff"
    QStringView rest(text);
    const bool negative = rest.startsWith(QLatin1Char('-'));
    if (negative) {
        rest = rest.sliced(1);
    }
    const qsizetype split = std::max<qsizetype>(0, rest.size() - kMinuteChars);
    const double minutes = NumberOrZero(rest.sliced(split).toString());
    const double wholeDegrees = NumberOrZero(rest.first(split).toString());

    double value = wholeDegrees + minutes / 60.0;
    if (negative) {
        value = -value;
    }
    const double scaled = value / 1e-6;
    const double rounded = value >= 0 ? std::trunc(scaled + 0.5) : std::trunc(scaled - 0.5);
    // Exponents are numbers too, so "1e308" degrees overflow the rounding: such a text is no
    // coordinate, and it counts as 0 like any other text that is not a number.
    return std::isfinite(scaled) ? rounded * 1e-6 : 0.0;
}

QString DegreesToCoord(int degreeDigits, double degrees) {
    Q_UNUSED(degreeDigits); // latitudes and longitudes share one form
    // Far beyond any coordinate, but keeps the integer conversions defined.
    constexpr double kLimit = 1e12;
    if (!std::isfinite(degrees)) {
        degrees = 0;
    }
    const auto steps = std::llround(std::min(std::fabs(degrees), kLimit) * kStepsPerDegree);
    const qint64 minutes = steps % kStepsPerWholeDegree;
    QString out = QStringLiteral("%1%2.%3")
                      .arg(steps / kStepsPerWholeDegree)
                      .arg(minutes / kStepsPerMinute, 2, 10, QLatin1Char('0'))
                      .arg(minutes % kStepsPerMinute, 4, 10, QLatin1Char('0'));
    if (degrees < 0 && steps > 0) {
        out.prepend(QLatin1Char('-'));
    }
    return out;
}

QString EscapeControls(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
            shown += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        } else {
            shown += c;
        }
    }
    return shown;
}

std::optional<std::int64_t> CoordToSteps(const QString& text) {
    const auto value = TextToDouble(text);
    if (!value || std::fabs(*value) > 1e12) {
        return std::nullopt;
    }
    const double a = std::fabs(*value);
    const double degrees = std::trunc(a / 100.0);
    const double minutes = a - degrees * 100.0;
    const auto steps = static_cast<std::int64_t>(degrees) * kStepsPerWholeDegree +
                       std::llround(minutes * kStepsPerMinute);
    return *value < 0 ? -steps : steps;
}

QString ColorToHtml(std::int32_t color) {
    const QString hex = QStringLiteral("%1")
                            .arg(static_cast<quint32>(color) & 0xFFFFFFu, 6, 16, QLatin1Char('0'))
                            .toUpper();
    return QLatin1Char('#') + hex.sliced(4, 2) + hex.sliced(2, 2) + hex.sliced(0, 2);
}

QStringList Latin1Texts(std::initializer_list<const char*> texts) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(texts.size()));
    for (const char* text : texts) {
        list.append(QString::fromLatin1(text));
    }
    return list;
}
