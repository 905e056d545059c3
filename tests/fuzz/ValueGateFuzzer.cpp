// Every source of values into the command builder: a snapshot line, a cell of a values file, a
// window field with its rule, a geo-fence name from a GIS file, a device's reply written back,
// and raw arguments. Whatever the bytes, a value its source takes builds a command the gate
// takes, and the frame the engine sends for it holds exactly that one command, read the
// protocol's way (cut at every "!"), with the fields that were asked for; a command the gate
// refuses is never sent, and with no rules but the line's own, nothing sent holds more than
// the one command either.
#include "FakeCommPort.h"
#include "FuzzCheck.h"
#include "uBatchOutcome.h"
#include "uDeviceSession.h"
#include "uDeviceSim.h"
#include "uEngineHost.h"
#include "uExchangeEngine.h"
#include "uFenceExchange.h"
#include "uParamCatalogue.h"
#include "uSnapshot.h"
#include "uUtils.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

class TQuietHost : public IEngineHost {
public:
    void AddLog(const QString&) override {}
    void ShowProgress(int, int) override {}
    void SetDeviceButtons(bool) override {}
    void HandleReply(const QByteArray&) override {}
    QString TranslateText(const QString& text) override { return text; }
};

enum TSource { kSnapshot, kCell, kField, kFenceName, kReply, kRaw, kSources };

// A value the entry takes, field by field: each rule's least value.
QStringList LeastFields(const TParamEntry& entry) {
    QStringList fields;
    const int count = entry.Fields < 0 ? 1 : entry.Fields;
    for (int i = 0; i < count; ++i) {
        const TFieldRule& rule = *entry.Rule(i);
        if (i == 0 && entry.Index > 0) {
            fields.append(QString::number(entry.Index));
        } else if (rule.Kind == TFieldRule::TKind::Integer) {
            fields.append(QString::number(std::max<qint64>(rule.Min, 0)));
        } else {
            fields.append(rule.Kind == TFieldRule::TKind::Text ||
                                  rule.Kind == TFieldRule::TKind::Phone
                              ? QString()
                              : QStringLiteral("0"));
        }
    }
    return fields;
}

// The value the source passes on for the entry, or nullopt when it refuses the text.
std::optional<QString> FromSource(int source, const TParamEntry& entry, const QString& text,
                                  FuzzedDataProvider& data) {
    switch (source) {
    case kSnapshot: {
        TSnapshot snapshot;
        if (snapshot.Parse("[Params]\r\n" + entry.Key.toUtf8() + '=' + text.toUtf8() + "\r\n")) {
            return std::nullopt;
        }
        return snapshot.Param(entry.Key);
    }
    case kCell:
        if (TParamCatalogue::CheckSetting(entry.Key, text, QStringLiteral("cell"))) {
            return std::nullopt;
        }
        return text;
    case kField: {
        QStringList fields = LeastFields(entry);
        const int field =
            data.ConsumeIntegralInRange<int>(entry.Index > 0 ? 1 : 0, int(fields.size()) - 1);
        fields[field] = text;
        const QString value = fields.join(QLatin1Char(','));
        // A field takes its own text; the whole value still meets its rules (a count against
        // its time points) before it is built.
        const bool refused = entry.Rule(field)->Check(text, entry.Index).has_value();
        if (refused || TParamCatalogue::CheckValue(entry, value)) {
            return std::nullopt;
        }
        return value;
    }
    case kFenceName: {
        const QJsonObject feature{
            {QStringLiteral("type"), QStringLiteral("Feature")},
            {QStringLiteral("properties"),
             QJsonObject{{QStringLiteral("name"), text}, {QStringLiteral("id"), entry.Index}}},
            {QStringLiteral("geometry"),
             QJsonObject{{QStringLiteral("type"), QStringLiteral("Point")},
                         {QStringLiteral("coordinates"), QJsonArray{113.9, 22.5}}}}};
        const TFenceImport import =
            TFenceExchange::FromBytes(QJsonDocument(feature).toJson(QJsonDocument::Compact));
        if (!import.Error.isEmpty() || import.Fences.size() != 1 ||
            import.Fences[0].ID != entry.Index) {
            return std::nullopt;
        }
        return TFenceExchange::DeviceValue(import.Fences[0]);
    }
    case kReply: {
        const QByteArray reply =
            "(0123456789," + entry.Key.section('.', 0, 0).toLatin1() + ',' + text.toLatin1() + ')';
        if (TParamCatalogue::KeyOfReply(reply) != entry.Key || TParamCatalogue::CheckReply(reply)) {
            return std::nullopt;
        }
        return ReplyValue(reply);
    }
    default:
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const int source = data.ConsumeIntegralInRange<int>(0, kSources - 1);
    const QStringList& keys = TParamCatalogue::RestoreOrder();
    const QString key = keys[data.ConsumeIntegralInRange<int>(0, int(keys.size()) - 1)];
    const TParamEntry& entry = *TParamCatalogue::Find(key);
    const bool wide = data.ConsumeBool();
    const QByteArray raw = QByteArray::fromStdString(data.ConsumeRandomLengthString(300));
    const QString text = wide ? QString::fromUtf8(raw) : QString::fromLatin1(raw);
    if (source == kFenceName && entry.ParamNo != 8) {
        return 0;
    }

    const auto asked = FromSource(source, entry, text, data);
    // Raw: any parameter but the factory default, which is always sent without arguments.
    const int number = data.ConsumeIntegralInRange<int>(21, 99);
    const TCmdItem cmd = source == kRaw
                             ? TCmdItem{number, kCmdWrite, QLatin1Char(',') + text, kCmdParam}
                             : entry.WriteCommand(asked.value_or(text));
    const bool allowed = !TParamCatalogue::CheckCommand(cmd).has_value();
    if (asked) {
        FUZZ_CHECK(allowed); // the source and the builder ask the same rules
    }

    // With the device's rules, and (raw commands) with the line's own alone.
    TFakeCommPort port;
    TQuietHost host;
    TExchangeEngine engine(port, host);
    if (source != kRaw) {
        ApplyDeviceRules(engine);
    }
    port.Open();
    engine.AddCmd(cmd.ParamNo, cmd.RW, cmd.Args, cmd.Kind);
    FUZZ_CHECK(!engine.StartBatch());
    if (source != kRaw && !allowed) {
        FUZZ_CHECK(port.Written.isEmpty() && engine.Batch()->Refused == 1);
        return 0;
    }
    if (port.Written.isEmpty()) {
        FUZZ_CHECK(source == kRaw && engine.Batch()->Refused == 1);
        return 0;
    }
    FUZZ_CHECK(port.Written.size() == 1);

    TDeviceSim device;
    device.SetProtocolFrames(true);
    device.ReceiveTexts(port.Written.first());
    FUZZ_CHECK(device.Received() == QByteArrayList{CommandText(cmd)});
    const QByteArray received = device.Received().first();
    const QStringList fields =
        SplitArgs(QString::fromLatin1(received.sliced(1, received.size() - 2)));
    FUZZ_CHECK(fields.size() >= 2 && fields[1] == QLatin1String("1"));
    FUZZ_CHECK(fields.sliced(2) == SplitArgs(CommandValue(cmd)));
    if (asked) {
        FUZZ_CHECK(fields.sliced(2) == SplitArgs(*asked));
    }
    return 0;
}
