#include "uDeviceSim.h"

#include "uUtils.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

namespace {

constexpr char kDelimiter = '!';
constexpr char kEscape = '=';
constexpr char kHeader1 = 0x06;
constexpr char kHeader2 = 0x09;
constexpr int kHeaderSum = kHeader1 + kHeader2;
constexpr int kMaxIdDigits = 20;
constexpr int kFactoryDefault = 20;
constexpr int kTimePoints = 21;

// How one value of a command is checked and kept.
enum class TKind {
    Integer, // min..max, kept in plain decimal
    Text,    // at most max bytes that can travel inside a reply
    Phone,   // an optional "+", then digits; at most max bytes
    Coord,   // device coordinate text: optional "-", digits, optional "." and digits
    Minutes, // a count, then that many minutes of the day in min..max (time points)
};

struct TField {
    TKind kind;
    int min = 0;
    int max = 0;
};

struct TParam {
    int number;
    bool writable;
    int keys; // 0: one value set; n: one per key 1..n (fence number, VIP index)
    QList<TField> fields;
    const char* defaults; // factory values of one value set, comma-separated
};

constexpr TField kOnOff{TKind::Integer, 0, 1};
constexpr TField kCoord{TKind::Coord, 0, 15};

// Field lengths are bounded so that every reply but the time-point list fits in one frame
// even with a 20-digit identity; the time-point list is capped when it is sent.
const QList<TParam>& Catalogue() {
    static const QList<TParam> catalogue = {
        {1, false, 0, {{TKind::Text, 0, 64}}, "TERVO_SIM_V1.0"},
        {3, true, 0, {{TKind::Phone, 0, 20}}, ""},
        {4,
         true,
         0,
         {{TKind::Integer, 1, 86400}, {TKind::Integer, 0, 65535}, {TKind::Integer, 0, 1}},
         "30,0,1"},
        {5,
         true,
         0,
         {{TKind::Text, 0, 40},
          {TKind::Integer, 0, 65535},
          {TKind::Text, 0, 40},
          {TKind::Text, 0, 32},
          {TKind::Text, 0, 32}},
         "123.123.123.123,8888,CMNET,,"},
        {6, true, 0, {kOnOff}, "0"},
        {7, true, 0, {{TKind::Integer, 1, 3}}, "1"},
        {8, true, 64, {kCoord, kCoord, kCoord, kCoord, {TKind::Text, 0, 20}}, "0,0,0,0,"},
        {9, true, 0, {{TKind::Integer, 0, 65535}}, "300"},
        {10, true, 0, {{TKind::Integer, 0, 100}}, "20"},
        {11, true, 5, {{TKind::Phone, 0, 20}}, ""},
        {12, true, 0, {{TKind::Integer, -720, 840}}, "-60"},
        {14, true, 0, {{TKind::Integer, 0, 6}}, "3"},
        {16, false, 0, {{TKind::Integer, 0, 100}}, "85"},
        {17, true, 0, {{TKind::Text, 0, 20}}, ""},
        {18, true, 0, {{TKind::Integer, 0, 7200}}, "0"},
        {kTimePoints, true, 0, {{TKind::Minutes, 1, 1439}}, "0"},
        {22, true, 5, {kOnOff, kOnOff, kOnOff, kOnOff}, "1,1,1,1"},
        {25, true, 0, {kOnOff}, "0"},
        {31, true, 0, {{TKind::Integer, 0, 65535}}, "630"},
        {34, true, 0, {kOnOff}, "0"},
    };
    return catalogue;
}

const TParam* FindParam(int number) {
    const auto& catalogue = Catalogue();
    const auto it = std::find_if(catalogue.begin(), catalogue.end(),
                                 [number](const TParam& p) { return p.number == number; });
    return it == catalogue.end() ? nullptr : &*it;
}

QList<QByteArrayList> FactoryValues(const TParam& param) {
    const QByteArrayList values = QByteArray(param.defaults).split(',');
    return QList<QByteArrayList>(std::max(1, param.keys), values);
}

bool IsDigits(QByteArrayView text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Plain decimal with an optional "-": no blanks, no "+", no hexadecimal.
std::optional<int> DecimalValue(QByteArrayView text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.isEmpty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

// Bytes that would end or cut a reply on the host's side cannot be stored.
bool IsReplySafe(QByteArrayView text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= 0x20 && b != 0x7F && c != '(' && c != ')' && c != kDelimiter;
    });
}

bool IsCoord(QByteArrayView text) {
    if (text.startsWith('-')) {
        text = text.sliced(1);
    }
    const qsizetype point = text.indexOf('.');
    if (point < 0) {
        return IsDigits(text);
    }
    return IsDigits(text.first(point)) && IsDigits(text.sliced(point + 1));
}

// The value as the device keeps it, or nullopt when the field does not take it.
std::optional<QByteArray> Accept(const TField& field, const QByteArray& text) {
    if (field.kind == TKind::Integer || field.kind == TKind::Minutes) {
        const auto value = DecimalValue(text);
        if (!value || *value < field.min || *value > field.max) {
            return std::nullopt;
        }
        return QByteArray::number(*value);
    }
    bool ok = text.size() <= field.max;
    if (field.kind == TKind::Text) {
        ok = ok && IsReplySafe(text);
    } else if (field.kind == TKind::Phone) {
        // A view of text itself: text.sliced() would be a temporary the view outlives.
        const QByteArrayView whole(text);
        const QByteArrayView digits = whole.startsWith('+') ? whole.sliced(1) : whole;
        ok = ok && (digits.isEmpty() || IsDigits(digits));
    } else {
        ok = ok && IsCoord(text);
    }
    return ok ? std::optional(text) : std::nullopt;
}

// A write's values as they will be stored, or nullopt when they do not fit the layout.
std::optional<QByteArrayList> AcceptAll(const TParam& param, const QByteArrayList& args) {
    QByteArrayList stored;
    if (param.fields.first().kind == TKind::Minutes) {
        // The count must agree with the minutes that follow it.
        const auto count = DecimalValue(args.value(0));
        if (!count || *count != args.size() - 1) {
            return std::nullopt;
        }
        stored.append(QByteArray::number(*count));
        for (qsizetype i = 1; i < args.size(); ++i) {
            const auto minute = Accept(param.fields.first(), args[i]);
            if (!minute) {
                return std::nullopt;
            }
            stored.append(*minute);
        }
        return stored;
    }
    if (args.size() != param.fields.size()) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < args.size(); ++i) {
        const auto value = Accept(param.fields[i], args[i]);
        if (!value) {
            return std::nullopt;
        }
        stored.append(*value);
    }
    return stored;
}

// One byte of the length or checksum, undoing the "=" escape.
enum class TRead { Ok, Partial, Bad };

TRead ReadEscaped(const QByteArray& buffer, qsizetype& pos, int& value) {
    if (pos >= buffer.size()) {
        return TRead::Partial;
    }
    const char c = buffer[pos];
    if (c == kDelimiter) {
        return TRead::Bad; // never sent unescaped here: the frame was cut short
    }
    if (c != kEscape) {
        value = static_cast<unsigned char>(c);
        ++pos;
        return TRead::Ok;
    }
    if (pos + 1 >= buffer.size()) {
        return TRead::Partial;
    }
    const char code = buffer[pos + 1];
    if (code != 0x1C && code != 0x00) {
        return TRead::Bad;
    }
    value = code == 0x1C ? kDelimiter : kEscape;
    pos += 2;
    return TRead::Ok;
}

struct TCut {
    TRead result = TRead::Partial;
    const char* fault = "";
    qsizetype end = 0; // one past the end delimiter
    QByteArray body;
};

TCut Failed(TRead result, const char* fault) {
    TCut cut;
    cut.result = result;
    cut.fault = fault;
    return cut;
}

// Reads the frame whose start delimiter is at start, guided by its length byte.
TCut CutFrame(const QByteArray& buffer, qsizetype start) {
    TCut cut;
    qsizetype pos = start + 1;
    if (buffer.size() < pos + 2) {
        return cut;
    }
    if (buffer[pos] != kHeader1 || buffer[pos + 1] != kHeader2) {
        return Failed(TRead::Bad, "header");
    }
    pos += 2;
    int length = 0;
    int high = 0;
    int low = 0;
    if (const TRead r = ReadEscaped(buffer, pos, length); r != TRead::Ok) {
        return Failed(r, "length");
    }
    if (buffer.size() < pos + length) {
        return cut;
    }
    cut.body = buffer.mid(pos, length);
    pos += length;
    for (int* part : {&high, &low}) {
        if (const TRead r = ReadEscaped(buffer, pos, *part); r != TRead::Ok) {
            return Failed(r, "checksum");
        }
    }
    if (pos >= buffer.size()) {
        return cut;
    }
    if (buffer[pos] != kDelimiter) {
        return Failed(TRead::Bad, "end delimiter");
    }
    if (high * 256 + low != kHeaderSum + length + ByteSum(cut.body)) {
        return Failed(TRead::Bad, "checksum");
    }
    cut.result = TRead::Ok;
    cut.end = pos + 1;
    return cut;
}

// A frame that claims more bytes than it has waits for them, unless a complete good frame
// already stands behind its start: then its length byte was corrupt, and waiting would hold
// back that frame until enough further bytes arrive.
bool GoodFrameFollows(const QByteArray& buffer) {
    for (qsizetype i = buffer.indexOf(kDelimiter, 1); i >= 0;
         i = buffer.indexOf(kDelimiter, i + 1)) {
        if (CutFrame(buffer, i).result == TRead::Ok) {
            return true;
        }
    }
    return false;
}

QByteArray Reply(const QByteArrayList& fields) {
    return '(' + fields.join(',') + ')';
}

// Every reply fits in a frame: field lengths are bounded and the one list is capped.
QByteArray Frame(const QByteArray& text) {
    return EncodeFrame(text).value();
}

} // namespace

TDeviceSim::TDeviceSim() {
    for (const TParam& param : Catalogue()) {
        FValues.insert(param.number, FactoryValues(param));
    }
}

bool TDeviceSim::SetAlteration(const QByteArray& key, const QByteArray& value) {
    const QByteArrayList parts = key.split('.');
    const auto number = parts[0].startsWith('P') ? DecimalValue(parts[0].mid(1)) : std::nullopt;
    const TParam* param = number ? FindParam(*number) : nullptr;
    if (param == nullptr || !param->writable || (param->keys > 0) != (parts.size() == 2) ||
        parts.size() > 2) {
        return false;
    }
    if (param->keys > 0) {
        const auto k = DecimalValue(parts[1]);
        if (!k || *k < 1 || *k > param->keys) {
            return false;
        }
    }
    FAlterations.insert(key, value.split(','));
    return true;
}

bool TDeviceSim::Preset(const QByteArray& command) {
    const int answered = FAnswered;
    const int ignored = FIgnored;
    const TTranscript transcript = std::exchange(FTranscript, nullptr);
    const bool stored = command.startsWith("(P") && command.contains(",1,") &&
                        !Answer(command).isEmpty() && FIgnored == ignored;
    FTranscript = transcript;
    FAnswered = answered;
    FIgnored = ignored;
    return stored;
}

QList<QByteArray> TDeviceSim::Receive(const QByteArray& bytes) {
    QList<QByteArray> frames;
    for (const QByteArray& text : ReceiveTexts(bytes)) {
        frames.append(Frame(text));
    }
    return frames;
}

bool TDeviceSim::CutAtDelimiters(QByteArray& text) {
    text.clear();
    const qsizetype start = FRxBuffer.indexOf(kDelimiter);
    const qsizetype end = start < 0 ? -1 : FRxBuffer.indexOf(kDelimiter, start + 1);
    if (end < 0) {
        return false;
    }
    const QByteArray frame = FRxBuffer.sliced(start, end - start + 1);
    FRxBuffer.remove(0, end + 1);
    // Behind a header the length byte is no text, even when it reads "(" (a 40-byte body).
    qsizetype textFrom = 0;
    if (frame.size() > 4 && frame[1] == kHeader1 && frame[2] == kHeader2) {
        textFrom = frame[3] == kEscape ? 5 : 4;
    }
    const qsizetype open = frame.indexOf('(', textFrom);
    const qsizetype close = open < 0 ? -1 : frame.indexOf(')', open + 1);
    if (close >= 0) {
        text = frame.sliced(open, close - open + 1);
    }
    return true;
}

QByteArrayList TDeviceSim::ReceiveTexts(const QByteArray& bytes) {
    FRxBuffer.append(bytes);
    QByteArrayList replies;
    for (QByteArray text; FProtocolFrames && CutAtDelimiters(text);) {
        if (text.isEmpty()) {
            ++FBadFrames;
            continue;
        }
        FReceived.append(text);
        const QByteArray reply = Answer(text);
        if (!reply.isEmpty()) {
            replies.append(reply);
        }
    }
    for (; !FProtocolFrames;) {
        const qsizetype start = FRxBuffer.indexOf(kDelimiter);
        if (start < 0) {
            FRxBuffer.clear(); // no frame can start in these bytes
            break;
        }
        FRxBuffer.remove(0, start);
        TCut cut = CutFrame(FRxBuffer, 0);
        if (cut.result == TRead::Partial) {
            if (!GoodFrameFollows(FRxBuffer)) {
                break;
            }
            cut = Failed(TRead::Bad, "length");
        }
        if (cut.result == TRead::Bad) {
            // The bytes up to the next good frame count as one skipped frame: the next "!"
            // tried is most often the bad frame's own end delimiter.
            if (!FSkipping) {
                ++FBadFrames;
                Note(QStringLiteral("-- frame skipped: bad %1").arg(QLatin1String(cut.fault)));
            }
            FSkipping = true;
            FRxBuffer.remove(0, 1); // resynchronise at the next "!"
            continue;
        }
        FSkipping = false;
        FRxBuffer.remove(0, cut.end);
        FReceived.append(cut.body);
        const QByteArray reply = Answer(cut.body);
        if (!reply.isEmpty()) {
            replies.append(reply);
        }
    }
    return replies;
}

QByteArray TDeviceSim::Answer(const QByteArray& text) {
    Note(QStringLiteral("<< ") + QString::fromLatin1(text));
    if (text.size() < 2 || !text.startsWith('(') || !text.endsWith(')')) {
        return Ignore(text, QStringLiteral("not a command"));
    }
    QByteArrayList fields = text.sliced(1, text.size() - 2).split(',');
    const QByteArray head = fields.takeFirst();
    const QByteArrayView digits = QByteArrayView(head).sliced(std::min<qsizetype>(1, head.size()));
    const bool status = head.startsWith('T');
    if (!(head.startsWith('P') || status) || digits.size() < 2 || digits.size() > 4 ||
        !IsDigits(digits)) {
        return Ignore(text, QStringLiteral("no parameter number"));
    }
    const int number = DecimalValue(digits).value();
    if (!status && number == kFactoryDefault) {
        // The flag and arguments do not matter, as in the host's "(P20)".
        RestoreDefaults();
        ++FAnswered;
        return Reply({FId, head});
    }
    const QByteArray flag = fields.isEmpty() ? QByteArray() : fields.takeFirst();
    if (flag != "0" && flag != "1") {
        return Ignore(text, QStringLiteral("no read/write flag"));
    }
    const bool write = flag == "1";
    if (status && number == 1) {
        if (write || !fields.isEmpty()) {
            return Ignore(text, QStringLiteral("the status is only queried"));
        }
        const QByteArray report = StatusText();
        if (report.isEmpty()) {
            return Ignore(text, QStringLiteral("the status report does not fit in a frame"));
        }
        ++FAnswered;
        return report;
    }
    if (status || !FindParam(number)) {
        ++FAnswered;
        return Reply({FId, head}); // a number this device does not know
    }
    return AnswerParam(number, text, write, fields);
}

// A catalogue command after its flag: the key, if the parameter has one, then the values.
QByteArray TDeviceSim::AnswerParam(int number, const QByteArray& text, bool write,
                                   QByteArrayList args) {
    const TParam& param = *FindParam(number);
    QByteArrayList reply = {FId, text.sliced(1, text.indexOf(',') - 1)};
    int slot = 0;
    if (param.keys > 0) {
        const auto key = DecimalValue(args.value(0));
        if (!key || *key < 1 || *key > param.keys) {
            return Ignore(text, QStringLiteral("key outside 1-%1").arg(param.keys));
        }
        args.removeFirst();
        slot = *key - 1;
        reply.append(QByteArray::number(*key));
    }
    QByteArrayList& stored = FValues[number][slot];
    if (write) {
        if (!param.writable) {
            return Ignore(text, QStringLiteral("read-only parameter"));
        }
        const auto values = AcceptAll(param, args);
        if (!values) {
            return Ignore(text, QStringLiteral("values do not fit the parameter"));
        }
        const QByteArray key =
            param.keys > 0 ? reply[1] + '.' + QByteArray::number(slot + 1) : reply[1];
        stored = FAlterations.value(key, *values);
    } else if (!args.isEmpty()) {
        return Ignore(text, QStringLiteral("a read takes no values"));
    }
    reply.append(stored);
    if (number == kTimePoints) {
        // Only as many time points as one frame carries; the count stays the stored one.
        while (Reply(reply).size() > kMaxFrameBody) {
            reply.removeLast();
        }
    }
    ++FAnswered;
    return Reply(reply);
}

QByteArray TDeviceSim::Ignore(const QByteArray& text, const QString& reason) {
    ++FIgnored;
    Note(QStringLiteral("-- ignored %1: %2").arg(QString::fromLatin1(text), reason));
    return {};
}

void TDeviceSim::Note(const QString& line) const {
    if (FTranscript) {
        FTranscript(line);
    }
}

QByteArray TDeviceSim::StatusText() const {
    // The alias is parameter 17's; the field after "T01" carries no meaning for the host.
    const QByteArray report = Reply({FId, "T01", "0", Values(17).value(0), QByteArray::number(FGps),
                                     QByteArray::number(FGsm), QByteArray::number(Battery())});
    // An altered alias can be too long to travel with the rest: then there is no report.
    return report.size() > kMaxFrameBody ? QByteArray() : report;
}

QByteArray TDeviceSim::StatusReport() const {
    return Frame(StatusText());
}

void TDeviceSim::RestoreDefaults() {
    for (const TParam& param : Catalogue()) {
        if (param.writable) {
            FValues.insert(param.number, FactoryValues(param));
        }
    }
}

bool TDeviceSim::SetId(const QByteArray& id) {
    if (id.size() > kMaxIdDigits || !IsDigits(id)) {
        return false;
    }
    FId = id;
    return true;
}

bool TDeviceSim::SetVersion(const QByteArray& version) {
    const auto accepted = Accept(FindParam(1)->fields.first(), version);
    if (accepted) {
        FValues[1][0] = {*accepted};
    }
    return accepted.has_value();
}

QByteArray TDeviceSim::Version() const {
    return Values(1).value(0);
}

void TDeviceSim::SetSignal(int gpsLevel, int gsmLevel) {
    FGps = gpsLevel;
    FGsm = gsmLevel;
}

void TDeviceSim::SetBattery(int percent) {
    FValues[16][0] = {QByteArray::number(std::clamp(percent, 0, 100))};
}

int TDeviceSim::Battery() const {
    return Values(16).value(0).toInt();
}

QByteArrayList TDeviceSim::Values(int paramNo, int key) const {
    const auto sets = FValues.value(paramNo);
    if (sets.size() == 1) {
        return sets.first();
    }
    return sets.value(key - 1);
}

QByteArray TDeviceSim::VipNumber(int k) const {
    return Values(11, k).value(0);
}

std::array<bool, 4> TDeviceSim::VipFlags(int k) const {
    const QByteArrayList flags = Values(22, k);
    std::array<bool, 4> result{};
    for (int i = 0; i < 4; ++i) {
        result[i] = flags.value(i) == "1";
    }
    return result;
}

QList<int> TDeviceSim::TimePoints() const {
    QList<int> minutes;
    const QByteArrayList values = Values(kTimePoints);
    for (qsizetype i = 1; i < values.size(); ++i) {
        minutes.append(values[i].toInt());
    }
    return minutes;
}

int TDeviceSim::KeepAlive() const {
    return Values(18).value(0).toInt();
}

int TDeviceSim::Volume() const {
    return Values(14).value(0).toInt();
}
