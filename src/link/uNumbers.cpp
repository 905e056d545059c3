#include "uNumbers.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

std::optional<std::int64_t> TextToInt64(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' ')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i < text.size() && (text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == QLatin1Char('0') &&
               (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    // Accumulate as a negative number so the most negative value still fits.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        int v = -1;
        if (c >= u'0' && c <= u'9') {
            v = c - u'0';
        } else if (base == 16 && c >= u'a' && c <= u'f') {
            v = c - u'a' + 10;
        } else if (base == 16 && c >= u'A' && c <= u'F') {
            v = c - u'A' + 10;
        }
        if (v < 0) {
            return std::nullopt;
        }
        if (value < (kMin + v) / base) {
            return std::nullopt;
        }
        value = value * base - v;
    }
    if (!negative) {
        if (value == kMin) {
            return std::nullopt;
        }
        value = -value;
    }
    return value;
}

std::optional<std::int32_t> TextToInt(QStringView text) {
    const auto value = TextToInt64(text);
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

std::optional<double> TextToDouble(QStringView text) {
    const QByteArray bytes = text.trimmed().toLatin1();
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    const bool plus = first != last && *first == '+';
    if (plus) {
        ++first; // from_chars takes "-" but not "+"
    }
    // from_chars would take "inf" and "nan"; a number here starts with a digit or ".".
    const char* digits = (!plus && first != last && *first == '-') ? first + 1 : first;
    if (digits == last || !(std::isdigit(static_cast<unsigned char>(*digits)) || *digits == '.')) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error != std::errc() || end != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}
