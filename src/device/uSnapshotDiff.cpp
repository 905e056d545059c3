#include "uSnapshotDiff.h"

#include "uDeviceSession.h"
#include "uParamCatalogue.h"
#include "uSnapshot.h"
#include "uUtils.h"

#include <algorithm>

namespace {

const char* const kUnusualText = "%1 (unusual: %2)";

QString FaultOf(const TParamEntry& entry, const std::optional<QString>& value) {
    const auto fault = value ? TParamCatalogue::CheckValue(entry, *value) : std::nullopt;
    return fault ? fault->Message() : QString();
}

TDiffRow Row(const TParamEntry& entry, std::optional<QString> a, std::optional<QString> b) {
    QString faultA = FaultOf(entry, a);
    QString faultB = FaultOf(entry, b);
    return {entry.Key, entry.Caption, std::move(a), std::move(b), faultA, faultB};
}

} // namespace

QString ShownValue(const QString& value, const QString& fault, const TTranslate& translate) {
    const QString shown = EscapeControls(value);
    if (fault.isEmpty()) {
        return shown;
    }
    const QString text = QString::fromLatin1(kUnusualText);
    return (translate ? translate(text) : text).arg(shown, EscapeControls(fault));
}

QStringList ShownValueTexts() {
    return {QString::fromLatin1(kUnusualText)};
}

std::vector<TDiffRow> CompareSnapshots(const TSnapshot& a, const TSnapshot& b) {
    std::vector<TDiffRow> rows;
    for (const TParamEntry& entry : TParamCatalogue::Entries()) {
        auto left = a.Param(entry.Key);
        auto right = b.Param(entry.Key);
        const bool same = left && right ? TParamCatalogue::SameValue(entry, *left, *right)
                                        : left.has_value() == right.has_value();
        if (!same) {
            rows.push_back(Row(entry, std::move(left), std::move(right)));
        }
    }
    return rows;
}

std::vector<TDiffRow> CompareWithDevice(const TSnapshot& snapshot, const TSessionReport& verify) {
    std::vector<TDiffRow> rows;
    for (const QString& key : TParamCatalogue::RestoreOrder()) {
        const auto value = snapshot.Param(key);
        if (!value) {
            continue;
        }
        const TParamEntry& entry = *TParamCatalogue::Find(key);
        const auto check = std::find_if(verify.Params.begin(), verify.Params.end(),
                                        [&key](const TParamCheck& c) { return c.Key == key; });
        if (!entry.Readable) {
            rows.push_back(Row(entry, value, std::nullopt));
        } else if (check != verify.Params.end() && check->State != TParamState::Confirmed) {
            rows.push_back(Row(entry, value, check->Device));
        }
    }
    return rows;
}
