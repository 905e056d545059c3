#include "uParamCatalogue.h"

#include "uNumbers.h"
#include "uUtils.h"

#include <QHash>
#include <algorithm>

namespace {

constexpr int kFence = 8;
constexpr int kVipNumber = 11;
constexpr int kVipAlarms = 22;
constexpr int kVariable = -1;

bool IsIndexed(int number) {
    return number == kFence || number == kVipNumber || number == kVipAlarms;
}

QString KeyFor(int number, int index) {
    const QString key = QString::asprintf("P%.2d", number);
    return index > 0 ? key + QLatin1Char('.') + QString::number(index) : key;
}

TParamEntry Param(int number, int fields, const char* caption, bool writable = true,
                  int index = 0) {
    return TParamEntry{
        KeyFor(number, index),       number, index, kCmdParam, true, writable, fields,
        QString::fromLatin1(caption)};
}

TParamEntry Indexed(int number, int index, int fields, const char* caption) {
    TParamEntry entry = Param(number, fields, "", true, index);
    entry.Caption = QString::fromLatin1(caption).arg(index);
    return entry;
}

std::vector<TParamEntry> BuildEntries() {
    std::vector<TParamEntry> entries = {
        {QStringLiteral("T01"), 1, 0, kCmdStatus, true, false, 5, QStringLiteral("Status report")},
        Param(1, 1, "Firmware version", false),
        Param(3, 1, "SMS Primary number"),
        Param(17, 1, "Another name"),
        Param(10, 1, "Low battery"),
        Param(12, 1, "Time difference"),
        Param(6, 1, "Track by calling"),
        Param(25, 1, "Automatic answer of calls"),
        Param(5, 5, "GPRS network parameters"),
        Param(7, 1, "Uploading mode"),
        Param(4, 3, "Uploading interval, times and channel"),
        Param(21, kVariable, "Fixed upload time points"),
        Param(14, 1, "Volume"),
        Param(18, 1, "Keep alive"),
    };
    for (int k = 1; k <= TParamCatalogue::kVipRows; ++k) {
        entries.push_back(Indexed(kVipNumber, k, 2, "Authorized number %1"));
        entries.push_back(Indexed(kVipAlarms, k, 5, "Alarms of authorized number %1"));
    }
    entries.push_back(Param(31, 1, "G-sensor parameter"));
    entries.push_back(Param(34, 1, "History data uploading automatically"));
    for (int n = 1; n <= TParamCatalogue::kFences; ++n) {
        entries.push_back(Indexed(kFence, n, 6, "Geo-fence %1"));
    }
    TParamEntry radius = Param(9, 1, "Self geo-fence radius");
    radius.Readable = false;
    entries.push_back(radius);
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

bool CommandCanCarry(QChar c) {
    return c.unicode() >= 0x20 && c.unicode() <= 0xFF && c.unicode() != 0x7F;
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

std::optional<QString> TParamCatalogue::CheckValue(const TParamEntry& entry, const QString& value) {
    if (!std::all_of(value.cbegin(), value.cend(), CommandCanCarry)) {
        return QStringLiteral("%1 holds a character no command can carry").arg(entry.Key);
    }
    const QStringList fields = SplitArgs(value);
    if (entry.Fields == kVariable) {
        const auto count = TextToInt(fields.first());
        if (!count || *count < 0) {
            return QStringLiteral("%1 must begin with the number of values").arg(entry.Key);
        }
    } else if (fields.size() != entry.Fields) {
        return QStringLiteral("%1 takes %2 field(s), not %3")
            .arg(entry.Key)
            .arg(entry.Fields)
            .arg(fields.size());
    }
    if (entry.Index > 0 && TextToInt(fields.first()) != entry.Index) {
        return QStringLiteral("%1 must begin with %2").arg(entry.Key).arg(entry.Index);
    }
    const auto frame = EncodeFrame(QString::asprintf("(P%.2d,1,", entry.ParamNo).toLatin1() +
                                   value.toLatin1() + ')');
    if (!frame) {
        return QStringLiteral("%1 is too long for one command").arg(entry.Key);
    }
    return std::nullopt;
}
