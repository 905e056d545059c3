#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <initializer_list>
#include <optional>

// Text routines between the device link and the rest of the program: the device frame,
// reply field splitting and the device's degrees-and-minutes coordinate text.
//
// Frames and device texts are 8-bit byte strings; a frame may hold 0x00.

// The longest body a frame can carry: its length travels in one byte.
inline constexpr int kMaxFrameBody = 255;

// Wraps a command body in the device envelope:
// "!" 06 09 <len> <body> <sum hi> <sum lo> "!", where the length and both checksum bytes
// go through the "=" escape. Bodies longer than kMaxFrameBody cannot be framed: nullopt.
std::optional<QByteArray> EncodeFrame(const QByteArray& body);

// Sum of the unsigned byte values; 0 for an empty text.
std::int32_t ByteSum(const QByteArray& text);

// True when the buffer holds a complete "!" ... "!" stretch that ExtractFrame can consume.
bool HasCompleteFrame(const QByteArray& buffer);

// Cuts the next frame from the receive buffer and yields its "(" ... ")" text, both
// parentheses included. Returns false with an empty text when there is no complete frame
// (the buffer is left as it is) or when the frame holds no "(" ... ")" text; such a frame
// gives its closing "!" back to the buffer as the possible start of the next frame, so
// one stray "!" costs at most one frame instead of the receiver's step.
bool ExtractFrame(QByteArray& buffer, QByteArray& text);

// Splits at every comma; empty fields count, so n commas give n + 1 entries.
QStringList SplitArgs(const QString& text);

// Device coordinate text ("2255.0753", "-12509.3750") to decimal degrees, rounded to six
// decimals with halves away from zero. Parts that are not numbers count as 0; a text whose
// value is too large to round (an exponent in the degrees) counts as 0 as a whole, so the
// result is always finite.
double CoordToDegrees(const QString& text);

// Decimal degrees to the device coordinate text: degrees without leading zeros, minutes
// with two digits and four decimals, rounded to the nearest ten-thousandth of a minute (the
// device's step), so that every coordinate read from the device is written back as it was
// read. The digit count (2 for a latitude, 3 for a longitude) does not change the form.
QString DegreesToCoord(int degreeDigits, double degrees);

// Control characters (below 0x20, 0x7F to 0x9F) as "\xNN", everything else as it is: what a
// device or a file sent, shown in a transcript or a message without acting on either.
QString EscapeControls(const QString& text);

// The device coordinate text as a whole number of device steps (ten-thousandths of a minute),
// signed: "11354.0000" and "011354" are the same place. nullopt for text that is no number.
std::optional<std::int64_t> CoordToSteps(const QString& text);

// A colour value whose low byte is red, as "#RRGGBB".
QString ColorToHtml(std::int32_t color);

// Texts kept as Latin-1 literals, as a list in the same order (a unit's translation texts).
QStringList Latin1Texts(std::initializer_list<const char*> texts);
