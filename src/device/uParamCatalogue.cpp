#include "uParamCatalogue.h"

#include "uBatchOutcome.h"
#include "uNumbers.h"
#include "uUtils.h"

#include <QHash>
#include <algorithm>

namespace {

constexpr int kFence = 8;
constexpr int kVipNumber = 11;
constexpr int kVipAlarms = 22;
constexpr int kFactoryDefault = 20;
constexpr int kVariable = -1;

bool IsIndexed(int number) {
    return number == kFence || number == kVipNumber || number == kVipAlarms;
}

QString KeyFor(int number, int index) {
    const QString key = QString::asprintf("P%.2d", number);
    return index > 0 ? key + QLatin1Char('.') + QString::number(index) : key;
}

using TKind = TFieldRule::TKind;

TFieldRule Integer(const char* caption, qint64 min, qint64 max) {
    return TFieldRule{caption, TKind::Integer, 0, min, max};
}

TFieldRule Switch(const char* caption) {
    return TFieldRule{caption, TKind::Switch};
}

TFieldRule Phone(const char* caption) {
    return TFieldRule{caption, TKind::Phone, 20};
}

TFieldRule Text(const char* caption, int maxLength) {
    return TFieldRule{caption, TKind::Text, maxLength};
}

TFieldRule Coord(const char* caption) {
    return TFieldRule{caption, TKind::Coord, 15};
}

// What the device keeps: numbers in its ranges, numbers and names no longer than it stores.
const TFieldRule kAlias = Text("Another name", 20);

TParamEntry Param(int number, std::vector<TFieldRule> rules, const char* caption,
                  bool writable = true, int index = 0) {
    const int fields = int(rules.size());
    return TParamEntry{
        KeyFor(number, index),        number,          index, kCmdParam, true, writable, fields,
        QString::fromLatin1(caption), std::move(rules)};
}

// A setting of one field, called as its rule is.
TParamEntry Single(int number, const TFieldRule& rule) {
    return Param(number, {rule}, rule.Caption);
}

// A count, then that many values of one rule.
TParamEntry Counted(int number, const TFieldRule& count, const TFieldRule& value,
                    const char* caption) {
    TParamEntry entry = Param(number, {count, value}, caption);
    entry.Fields = kVariable;
    return entry;
}

TParamEntry Indexed(int number, int index, std::vector<TFieldRule> rules, const char* caption) {
    TParamEntry entry = Param(number, std::move(rules), "", true, index);
    entry.Caption = QString::fromLatin1(caption).arg(index);
    return entry;
}

std::vector<TParamEntry> BuildEntries() {
    std::vector<TParamEntry> entries = {
        {QStringLiteral("T01"),
         1,
         0,
         kCmdStatus,
         true,
         false,
         5,
         QStringLiteral("Status report"),
         {Text("Status", 20), kAlias, Integer("GPS level", 0, 99), Integer("GSM level", 0, 99),
          Integer("Battery level", 0, 100)}},
        Param(1, {Text("Firmware version", 64)}, "Firmware version", false),
        Single(3, Phone("SMS Primary number")),
        Single(17, kAlias),
        Single(10, Integer("Low battery", 0, 100)),
        Single(12, Integer("Time difference", -720, 840)),
        Single(6, Switch("Track by calling")),
        Single(25, Switch("Automatic answer of calls")),
        Param(5,
              {Text("IP address", 40), Integer("Port", 0, 65535), Text("APN", 40),
               Text("APN user name", 32), Text("APN password", 32)},
              "GPRS network parameters"),
        Single(7, Integer("Uploading mode", 1, 3)),
        Param(4,
              {Integer("Uploading interval", 1, 86400), Integer("Number of uploads", 0, 65535),
               Integer("Upload channel", 0, 1)},
              "Uploading interval, times and channel"),
        Counted(21, Integer("Number of time points", 0, 48), Integer("Time point", 1, 1439),
                "Fixed upload time points"),
        Param(14, {Integer("Speaker volume", 0, 6)}, "Volume"),
        Param(18, {Integer("Keep-alive interval", 0, 7200)}, "Keep alive"),
    };
    for (int k = 1; k <= TParamCatalogue::kVipRows; ++k) {
        const TFieldRule row = Integer("Authorized number row", 1, TParamCatalogue::kVipRows);
        entries.push_back(
            Indexed(kVipNumber, k, {row, Phone("Authorized number %1")}, "Authorized number %1"));
        entries.push_back(Indexed(kVipAlarms, k,
                                  {row, Switch("Geofence alarm of authorized number %1"),
                                   Switch("Self geofence alarm of authorized number %1"),
                                   Switch("SOS alarm of authorized number %1"),
                                   Switch("Battery alarm of authorized number %1")},
                                  "Alarms of authorized number %1"));
    }
    entries.push_back(Single(31, Integer("G-sensor parameter", 0, 65535)));
    entries.push_back(Single(34, Switch("History data uploading automatically")));
    for (int n = 1; n <= TParamCatalogue::kFences; ++n) {
        entries.push_back(Indexed(kFence, n,
                                  {Integer("Geo-fence number", 1, TParamCatalogue::kFences),
                                   Coord("Left top longitude"), Coord("Left top latitude"),
                                   Coord("Right bottom longitude"), Coord("Right bottom latitude"),
                                   Text("Geo-fence name", 20)},
                                  "Geo-fence %1"));
    }
    TParamEntry radiusEntry = Single(9, Integer("Self geo-fence radius", 0, 65535));
    radiusEntry.Readable = false;
    entries.push_back(radiusEntry);
    return entries;
}

QHash<QString, qsizetype> BuildIndex() {
    QHash<QString, qsizetype> index;
    const auto& entries = TParamCatalogue::Entries();
    for (qsizetype i = 0; i < qsizetype(entries.size()); ++i) {
        index.insert(entries[i].Key, i);
    }
    return index;
}

std::vector<TCmdItem> ReadCommandsOf(bool withFences) {
    std::vector<TCmdItem> commands;
    for (const TParamEntry& entry : TParamCatalogue::Entries()) {
        if (entry.Readable && (withFences || entry.ParamNo != kFence)) {
            commands.push_back(entry.ReadCommand());
        }
    }
    return commands;
}

QStringList BuildRestoreOrder() {
    QStringList keys = {QStringLiteral("P03"), QStringLiteral("P17"), QStringLiteral("P10"),
                        QStringLiteral("P12"), QStringLiteral("P06"), QStringLiteral("P25"),
                        QStringLiteral("P05"), QStringLiteral("P04"), QStringLiteral("P07"),
                        QStringLiteral("P21")};
    for (const int number : {kVipNumber, kVipAlarms}) {
        for (int k = 1; k <= TParamCatalogue::kVipRows; ++k) {
            keys.append(KeyFor(number, k));
        }
    }
    keys << QStringLiteral("P18") << QStringLiteral("P31") << QStringLiteral("P34")
         << QStringLiteral("P14") << QStringLiteral("P09");
    for (int n = 1; n <= TParamCatalogue::kFences; ++n) {
        keys.append(KeyFor(kFence, n));
    }
    return keys;
}

const char* const kFieldsText = "%1 takes %2 field(s), not %3";
const char* const kCountFirstText = "%1 must begin with the number of values";
const char* const kCountText = "%1 counts %2 time point(s) but lists %3";
const char* const kIndexText = "%1 must begin with %2";
const char* const kTooLongText = "%1 is too long for one command";
const char* const kNotAParamText = "%1 is no parameter a snapshot can hold";
const char* const kReadOnlyText = "%1 cannot be written";
const char* const kNotACommandText = "%1 is no command the program sends";

TRuleFault Whole(const QString& key, const char* text, QStringList args = {}) {
    return TRuleFault{key, nullptr, 0, text, std::move(args)};
}

// The fields' own rules, after the layout has been found right.
std::optional<TRuleFault> CheckFields(const TParamEntry& entry, const QStringList& fields) {
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (auto fault = entry.Rule(int(i))->Check(fields[i], entry.Index)) {
            fault->Key = entry.Key;
            return fault;
        }
    }
    return std::nullopt;
}

// The number of fields, the count of a counted value and the index of an indexed one.
std::optional<TRuleFault> CheckLayout(const TParamEntry& entry, const QStringList& fields) {
    const QString count = QString::number(fields.size());
    if (entry.Fields == kVariable) {
        const auto listed = TextToInt(fields.first());
        if (!listed || *listed < 0) {
            return Whole(entry.Key, kCountFirstText);
        }
        if (*listed != fields.size() - 1) {
            return Whole(entry.Key, kCountText,
                         {QString::number(*listed), QString::number(fields.size() - 1)});
        }
    } else if (fields.size() != entry.Fields) {
        return Whole(entry.Key, kFieldsText, {QString::number(entry.Fields), count});
    }
    if (entry.Index > 0 && TextToInt(fields.first()) != entry.Index) {
        return Whole(entry.Key, kIndexText, {QString::number(entry.Index)});
    }
    return std::nullopt;
}

// Two readings of one field; text that is no number of its kind compares as text.
template <class TRead> bool SameReading(const QString& a, const QString& b, TRead read) {
    const auto x = read(a);
    const auto y = read(b);
    return x && y ? *x == *y : a == b;
}

} // namespace

TCmdItem TParamEntry::ReadCommand() const {
    return TCmdItem{ParamNo, kCmdRead, Index > 0 ? QStringLiteral(",%1").arg(Index) : QString(),
                    Kind};
}

TCmdItem TParamEntry::WriteCommand(const QString& value) const {
    return TCmdItem{ParamNo, kCmdWrite, QLatin1Char(',') + value, Kind};
}

const std::vector<TParamEntry>& TParamCatalogue::Entries() {
    static const std::vector<TParamEntry> entries = BuildEntries();
    return entries;
}

const TParamEntry* TParamCatalogue::Find(QStringView key) {
    static const QHash<QString, qsizetype> index = BuildIndex();
    const auto it = index.constFind(key.toString().toUpper());
    return it == index.cend() ? nullptr : &Entries()[*it];
}

std::vector<TCmdItem> TParamCatalogue::ReadAllCommands() {
    return ReadCommandsOf(false);
}

std::vector<TCmdItem> TParamCatalogue::BackupCommands() {
    return ReadCommandsOf(true);
}

const QStringList& TParamCatalogue::RestoreOrder() {
    static const QStringList keys = BuildRestoreOrder();
    return keys;
}

std::optional<QString> TParamCatalogue::KeyOfReply(const QByteArray& reply) {
    if (reply.size() < 2) {
        return std::nullopt;
    }
    const QStringList fields = SplitArgs(QString::fromLatin1(reply.sliced(1, reply.size() - 2)));
    if (fields.size() < 2) {
        return std::nullopt;
    }
    const QString& head = fields[1];
    if (head == QLatin1String("T01")) {
        return head;
    }
    const auto number = head.size() == 3 && head.startsWith(QLatin1Char('P'))
                            ? TextToInt(QStringView(head).sliced(1))
                            : std::nullopt;
    if (!number) {
        return std::nullopt;
    }
    int index = 0;
    if (IsIndexed(*number)) {
        const auto value = fields.size() > 2 ? TextToInt(fields[2]) : std::nullopt;
        if (!value || *value < 1) {
            return std::nullopt;
        }
        index = *value;
    }
    const TParamEntry* entry = Find(KeyFor(*number, index));
    return entry ? std::optional(entry->Key) : std::nullopt;
}

std::optional<QString> TParamCatalogue::KeyOfCommand(const TCmdItem& cmd) {
    if (cmd.Kind != kCmdParam) {
        return cmd.ParamNo == 1 ? std::optional(QStringLiteral("T01")) : std::nullopt;
    }
    int index = 0;
    if (IsIndexed(cmd.ParamNo)) {
        const auto value = TextToInt(cmd.Args.section(QLatin1Char(','), 1, 1));
        if (!value || *value < 1) {
            return std::nullopt;
        }
        index = *value;
    }
    const TParamEntry* entry = Find(KeyFor(cmd.ParamNo, index));
    return entry ? std::optional(entry->Key) : std::nullopt;
}

const TFieldRule* TParamEntry::Rule(int field) const {
    if (field < 0 || Rules.empty()) {
        return nullptr;
    }
    if (Fields == kVariable) {
        return &Rules[std::min<std::size_t>(field, 1)];
    }
    return field < int(Rules.size()) ? &Rules[field] : nullptr;
}

std::optional<TRuleFault> TParamCatalogue::CheckValue(const TParamEntry& entry,
                                                      const QString& value) {
    const QStringList fields = SplitArgs(value);
    if (auto fault = CheckLayout(entry, fields)) {
        return fault;
    }
    if (auto fault = CheckFields(entry, fields)) {
        return fault;
    }
    if (!EncodeFrame(CommandText(entry.WriteCommand(value)))) {
        return Whole(entry.Key, kTooLongText);
    }
    return std::nullopt;
}

std::optional<QString> TParamCatalogue::CheckSetting(const QString& key, const QString& value,
                                                     const QString& location,
                                                     const TTranslate& translate) {
    const TParamEntry* entry = Find(key);
    std::optional<TRuleFault> fault;
    if (!entry) {
        fault = Whole(key, kNotAParamText);
    } else if (!entry->Writable) {
        fault = Whole(key, kReadOnlyText);
    } else {
        fault = CheckValue(*entry, value);
    }
    if (!fault) {
        return std::nullopt;
    }
    return location.isEmpty() ? fault->Message(translate)
                              : location + QStringLiteral(": ") + fault->Message(translate);
}

std::optional<TRuleFault> TParamCatalogue::CheckCommand(const TCmdItem& cmd) {
    if (cmd.ParamNo == kFactoryDefault && cmd.Kind == kCmdParam) {
        return std::nullopt; // always framed as "(P20)"
    }
    const auto key = KeyOfCommand(cmd);
    const TParamEntry* entry = key ? Find(*key) : nullptr;
    const auto notACommand = [&cmd] {
        return Whole(EscapeControls(QString::fromLatin1(CommandText(cmd))), kNotACommandText);
    };
    if (!entry) {
        return notACommand();
    }
    if (cmd.RW == kCmdRead) {
        return entry->Readable && cmd.Args == entry->ReadCommand().Args && cmd.Kind == entry->Kind
                   ? std::nullopt
                   : std::optional(notACommand());
    }
    if (!entry->Writable || cmd.RW != kCmdWrite || cmd.Kind != kCmdParam ||
        !cmd.Args.startsWith(QLatin1Char(','))) {
        return notACommand();
    }
    return CheckValue(*entry, CommandValue(cmd));
}

std::optional<TRuleFault> TParamCatalogue::CheckReply(const QByteArray& reply) {
    const auto key = KeyOfReply(reply);
    if (!key) {
        return std::nullopt;
    }
    const TParamEntry& entry = *Find(*key);
    const QString value = ReplyValue(reply);
    if (entry.Writable) {
        return CheckValue(entry, value);
    }
    const QStringList fields = SplitArgs(value);
    if (auto fault = CheckLayout(entry, fields)) {
        return fault;
    }
    return CheckFields(entry, fields);
}

const TFieldRule* TParamCatalogue::FieldRule(QStringView key, int field) {
    const TParamEntry* entry = Find(key);
    return entry ? entry->Rule(field) : nullptr;
}

QStringList TParamCatalogue::Texts() {
    QStringList texts = TFieldRule::Texts();
    texts += Latin1Texts({kFieldsText, kCountFirstText, kCountText, kIndexText, kTooLongText,
                          kNotAParamText, kReadOnlyText, kNotACommandText});
    QStringList captions;
    for (const TParamEntry& entry : Entries()) {
        for (const TFieldRule& rule : entry.Rules) {
            captions.append(QString::fromLatin1(rule.Caption));
        }
    }
    captions.removeDuplicates();
    return texts + captions;
}

bool TParamCatalogue::SameField(const TParamEntry& entry, int field, const QString& a,
                                const QString& b) {
    const TFieldRule* rule = entry.Rule(field);
    switch (rule ? rule->Kind : TFieldRule::TKind::Text) {
    case TFieldRule::TKind::Integer:
    case TFieldRule::TKind::Switch:
        return SameReading(a, b, [](const QString& text) { return TextToInt64(text); });
    case TFieldRule::TKind::Coord:
        return SameReading(a, b, CoordToSteps);
    case TFieldRule::TKind::Phone:
    case TFieldRule::TKind::Text:
        break;
    }
    return a == b;
}

bool TParamCatalogue::SameValue(const TParamEntry& entry, const QString& a, const QString& b) {
    const QStringList x = SplitArgs(a);
    const QStringList y = SplitArgs(b);
    if (x.size() != y.size()) {
        return false;
    }
    for (qsizetype field = 0; field < x.size(); ++field) {
        if (!SameField(entry, int(field), x[field], y[field])) {
            return false;
        }
    }
    return true;
}

bool TParamCatalogue::SameWrite(const TCmdItem& cmd, const QString& held) {
    const auto key = KeyOfCommand(cmd);
    const TParamEntry* entry = key ? Find(*key) : nullptr;
    return entry ? SameValue(*entry, CommandValue(cmd), held) : CommandValue(cmd) == held;
}
