#include "uNumbers.h"
#include "uUtils.h"

#include <gtest/gtest.h>
#include <random>

namespace {

// Spaces are skipped by fromHex, so byte dumps read as in a line monitor.
QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

QByteArray Frame(const QByteArray& body) {
    return EncodeFrame(body).value();
}

// Every reply text ExtractFrame yields from the buffer, calling it while complete
// frames remain, as the receiver does.
QList<QByteArray> Drain(QByteArray& buffer) {
    QList<QByteArray> texts;
    QByteArray text;
    // Each call on a complete frame consumes at least its first byte.
    for (qsizetype guard = buffer.size(); HasCompleteFrame(buffer) && guard >= 0; --guard) {
        if (ExtractFrame(buffer, text)) {
            texts.append(text);
        }
    }
    EXPECT_FALSE(HasCompleteFrame(buffer)) << "the receiver stalled";
    return texts;
}

} // namespace

// ---- outgoing frames ----

TEST(EncodeFrame, MatchesTheDeviceExamplesByteForByte) {
    EXPECT_EQ(Frame("(P20)"), Hex("21 06 09 05 28 50 32 30 29 01 17 21"));
    EXPECT_EQ(Frame("(T01,0)"), Hex("21 06 09 07 28 54 30 31 2C 30 29 01 78 21"));
    // Checksum 0x023D: the low byte is escaped.
    EXPECT_EQ(Frame("(P12,1,105)"),
              Hex("21 06 09 0B 28 50 31 32 2C 31 2C 31 30 35 29 02 3D 00 21"));
    EXPECT_EQ(Frame(""), Hex("21 06 09 00 00 0F 21"));
}

TEST(EncodeFrame, EscapesLengthAndChecksumButNeverTheBody) {
    const QByteArray frame33 = Frame(QByteArray(33, 'a'));
    EXPECT_EQ(frame33.mid(3, 2), Hex("3D 1C"));
    const QByteArray frame61 = Frame(QByteArray(61, 'a'));
    EXPECT_EQ(frame61.mid(3, 2), Hex("3D 00"));
    // A body holding both delimiter bytes goes out unchanged.
    const QByteArray body("(!=)");
    EXPECT_EQ(Frame(body).mid(4, body.size()), body);
}

TEST(EncodeFrame, EscapesBothChecksumBytesOfSum213D) {
    // 50 bytes summing to 0x213D - 15 - 50.
    QByteArray body(50, char(1));
    int rest = 0x213D - 15 - 50 - 50;
    for (int i = 0; rest > 0; ++i) {
        const int add = std::min(254, rest);
        body[i] = char(1 + add);
        rest -= add;
    }
    ASSERT_EQ(ByteSum(body) + 15 + 50, 0x213D);
    EXPECT_EQ(Frame(body).right(5), Hex("3D 1C 3D 00 21"));
}

TEST(EncodeFrame, RefusesBodiesTheLengthByteCannotHold) {
    EXPECT_TRUE(EncodeFrame(QByteArray(255, 'x')).has_value());
    EXPECT_FALSE(EncodeFrame(QByteArray(256, 'x')).has_value());
}

TEST(ByteSum, AddsUnsignedByteValues) {
    EXPECT_EQ(ByteSum(""), 0);
    EXPECT_EQ(ByteSum(Hex("FF FF 01")), 511);
}

// ---- incoming frames ----

TEST(ExtractFrame, WaitsForACompleteFrame) {
    for (QByteArray buffer : {QByteArray("xyz"), QByteArray("ab!\x06\x09")}) {
        const QByteArray before = buffer;
        QByteArray text("stale");
        EXPECT_FALSE(ExtractFrame(buffer, text));
        EXPECT_TRUE(text.isEmpty());
        EXPECT_EQ(buffer, before);
    }
}

TEST(ExtractFrame, YieldsTheParenthesisedTextAndDropsBytesBeforeTheFrame) {
    QByteArray buffer("ab!q(P01)q!!r");
    QByteArray text;
    EXPECT_TRUE(ExtractFrame(buffer, text));
    EXPECT_EQ(text, "(P01)");
    EXPECT_EQ(buffer, "!r");
}

TEST(ExtractFrame, KeepsBinaryHeaderAndChecksumOutOfTheText) {
    QByteArray buffer = Frame("(0123456789,P05,10.0.0.1,9000,CMNET,,)");
    QByteArray text;
    ASSERT_TRUE(ExtractFrame(buffer, text));
    EXPECT_EQ(text, "(0123456789,P05,10.0.0.1,9000,CMNET,,)");
    EXPECT_TRUE(buffer.isEmpty());
}

// Lengths that look like "(" or ")" or need the escape stay out of the text.
TEST(ExtractFrame, ReadsTextsOfEveryLength) {
    for (int size = 2; size <= kMaxFrameBody; ++size) {
        const QByteArray body = "(" + QByteArray(size - 2, 'a') + ")";
        QByteArray buffer = Frame(body);
        QByteArray text;
        ASSERT_TRUE(ExtractFrame(buffer, text)) << size;
        EXPECT_EQ(text, body) << size;
        EXPECT_TRUE(buffer.isEmpty()) << size;
    }
}

TEST(ExtractFrame, DropsAFrameWithoutTextAndReadsTheNextOne) {
    QByteArray buffer = Frame("no text") + Frame("(P01)");
    EXPECT_EQ(Drain(buffer), QList<QByteArray>{"(P01)"});
    EXPECT_TRUE(buffer.isEmpty());
}

TEST(ExtractFrame, AStrayDelimiterCostsNoFollowingReply) {
    // Line noise holding a "!" ahead of two replies.
    QByteArray buffer = "x!y" + Frame("(1,P03,5)") + Frame("(1,P17,CAR)");
    EXPECT_EQ(Drain(buffer), (QList<QByteArray>{"(1,P03,5)", "(1,P17,CAR)"}));

    // A "!" inside a reply body loses that reply only.
    buffer = Frame("(1,P17,A!B)") + Frame("(1,P10,20)") + Frame("(1,P12,-60)");
    EXPECT_EQ(Drain(buffer), (QList<QByteArray>{"(1,P10,20)", "(1,P12,-60)"}));
    EXPECT_TRUE(buffer.isEmpty());
}

TEST(ExtractFrame, DelimiterNoiseNeverStallsTheReceiver) {
    QByteArray buffer("!!)(!!(!)!!");
    EXPECT_TRUE(Drain(buffer).isEmpty()); // no "(...)" lies between two delimiters
}

// ---- fields and coordinates ----

TEST(SplitArgs, CountsEmptyFields) {
    EXPECT_EQ(SplitArgs("0123456789,P05,1"), (QStringList{"0123456789", "P05", "1"}));
    EXPECT_EQ(SplitArgs("x"), QStringList{"x"});
    EXPECT_EQ(SplitArgs("a,,b"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(SplitArgs("a,"), (QStringList{"a", ""}));
    EXPECT_EQ(SplitArgs(""), QStringList{""});
}

TEST(DegreesToCoord, RoundsToTheDevicesStep) {
    EXPECT_EQ(DegreesToCoord(2, 22.917922), "2255.0753");
    EXPECT_EQ(DegreesToCoord(3, 125.156251), "12509.3751");
    EXPECT_EQ(DegreesToCoord(2, 5.5), "530.0000");
    EXPECT_EQ(DegreesToCoord(3, 0), "000.0000");
    EXPECT_EQ(DegreesToCoord(2, -22.5), "-2230.0000");
    EXPECT_EQ(DegreesToCoord(2, 0.999999999), "100.0000");
    EXPECT_EQ(DegreesToCoord(2, -0.00000001), "000.0000");
    // Read and written back, a fence that once drifted a step each round.
    for (const char* corner : {"1318.0000", "5233.0000", "1327.0000", "5228.8000"}) {
        EXPECT_EQ(DegreesToCoord(2, CoordToDegrees(corner)), corner);
    }
}

// Every value the device can hold is a fixed point of reading and writing back.
TEST(DegreesToCoord, EveryDeviceStepIsWrittenBackAsRead) {
    std::mt19937_64 random(20261208);
    std::uniform_int_distribution<qint64> steps(-108'000'000, 108'000'000); // +-180 degrees
    for (int i = 0; i < 200'000; ++i) {
        const qint64 step = steps(random);
        const qint64 size = std::abs(step);
        const QString text = QStringLiteral("%1%2%3.%4")
                                 .arg(step < 0 ? "-" : "")
                                 .arg(size / 600'000)
                                 .arg(size % 600'000 / 10'000, 2, 10, QLatin1Char('0'))
                                 .arg(size % 10'000, 4, 10, QLatin1Char('0'));
        ASSERT_EQ(DegreesToCoord(3, CoordToDegrees(text)), text);
        ASSERT_EQ(CoordToSteps(text), step) << text.toStdString();
    }
    EXPECT_EQ(CoordToSteps("0"), 0);
    EXPECT_EQ(CoordToSteps("000.0000"), 0);
    EXPECT_EQ(CoordToSteps("-2230.0001"), -(22 * 600'000 + 30 * 10'000 + 1));
    EXPECT_EQ(CoordToSteps("abc"), std::nullopt);
}

TEST(CoordToDegrees, ReadsDegreesAndMinutesRoundedToSixDecimals) {
    EXPECT_DOUBLE_EQ(CoordToDegrees("2255.0753"), 22.917922);
    EXPECT_DOUBLE_EQ(CoordToDegrees("-2230.0000"), -22.5);
    EXPECT_DOUBLE_EQ(CoordToDegrees("30.1234"), 0.502057);
    EXPECT_DOUBLE_EQ(CoordToDegrees("12509.3750"), 125.15625);
    EXPECT_DOUBLE_EQ(CoordToDegrees("abc"), 0);
    EXPECT_DOUBLE_EQ(CoordToDegrees(""), 0);
    EXPECT_DOUBLE_EQ(CoordToDegrees("xx30.0000"), 0.5); // bad degrees count as 0
    // Degrees with an exponent, or too many digits, would overflow: no coordinate at all.
    EXPECT_DOUBLE_EQ(CoordToDegrees("1e3080000000"), 0);
    EXPECT_DOUBLE_EQ(CoordToDegrees("-1e3080000000"), 0);
    EXPECT_DOUBLE_EQ(CoordToDegrees(QString(308, QLatin1Char('9')) + "00.0000"), 0);
    EXPECT_DOUBLE_EQ(CoordToDegrees(QString(400, QLatin1Char('9')) + "00.0000"), 0);
}

TEST(CoordToDegrees, RoundTripsDeviceTextWithinTheTextsPrecision) {
    for (const double v : {22.917922, -33.8688, 151.2093, 0.0001, -0.5, 179.999999}) {
        EXPECT_NEAR(CoordToDegrees(DegreesToCoord(3, v)), v, 1.0 / 60 / 10000 + 1e-6) << v;
    }
}

TEST(ColorToHtml, PutsTheLowByteFirst) {
    EXPECT_EQ(ColorToHtml(255), "#FF0000");
    EXPECT_EQ(ColorToHtml(0xFF0000), "#0000FF");
    EXPECT_EQ(ColorToHtml(0x123456), "#563412");
    EXPECT_EQ(ColorToHtml(0), "#000000");
}

// ---- number reading ----

TEST(TextToInt, ReadsDecimalAndHexadecimalStrictly) {
    EXPECT_EQ(TextToInt(u"42"), 42);
    EXPECT_EQ(TextToInt(u"  -7"), -7);
    EXPECT_EQ(TextToInt(u"+7"), 7);
    EXPECT_EQ(TextToInt(u"007"), 7);
    EXPECT_EQ(TextToInt(u"$1F"), 31);
    EXPECT_EQ(TextToInt(u"0x1f"), 31);
    EXPECT_EQ(TextToInt(u"x10"), 16);
    EXPECT_EQ(TextToInt(u"-2147483648"), INT32_MIN);
    for (const char16_t* bad : {u"", u" ", u"-", u"12a", u"1 ", u"0x", u"2147483648", u"1.5"}) {
        EXPECT_FALSE(TextToInt(bad).has_value()) << QString::fromUtf16(bad).toStdString();
    }
    EXPECT_EQ(TextToInt64(u"-9223372036854775808"), INT64_MIN);
    EXPECT_FALSE(TextToInt64(u"9223372036854775808").has_value());
}

TEST(TextToDouble, ReadsPointDecimalsOnly) {
    EXPECT_EQ(TextToDouble(u" 1.5 "), 1.5);
    EXPECT_EQ(TextToDouble(u"-.5"), -0.5);
    EXPECT_EQ(TextToDouble(u"+2e3"), 2000.0);
    for (const char16_t* bad : {u"", u"1,5", u"inf", u"-nan", u"1.2.3", u"+-1", u"abc"}) {
        EXPECT_FALSE(TextToDouble(bad).has_value()) << QString::fromUtf16(bad).toStdString();
    }
}
