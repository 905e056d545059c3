#pragma once

#include "uUtils.h"

#include <QByteArray>
#include <QString>
#include <ostream>

// Byte strings in failure messages: printable ASCII as it is, everything else as \xHH.
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"';
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && c != '\\') {
            *os << c;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            *os << "\\x" << kHex[b >> 4] << kHex[b & 15];
        }
    }
    *os << '"';
}

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

inline QByteArray Frame(const QByteArray& body) {
    return EncodeFrame(body).value();
}
