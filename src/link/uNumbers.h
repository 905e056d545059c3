#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// Number reading with fixed rules, independent of the user's regional settings.

// An integer as the device tools have always read one: leading blanks, an optional sign,
// decimal digits or hexadecimal after "$", "x" or "0x"; nothing may follow. Out of range
// or malformed: nullopt.
std::optional<std::int64_t> TextToInt64(QStringView text);
std::optional<std::int32_t> TextToInt(QStringView text);

// A decimal number with "." as the decimal point and an optional exponent; blanks around
// it are allowed, thousands separators, infinities and NaN are not.
std::optional<double> TextToDouble(QStringView text);
