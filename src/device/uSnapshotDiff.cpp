#include "uSnapshotDiff.h"

#include "uDeviceSession.h"
#include "uParamCatalogue.h"
#include "uSnapshot.h"

#include <algorithm>

std::vector<TDiffRow> CompareSnapshots(const TSnapshot& a, const TSnapshot& b) {
    std::vector<TDiffRow> rows;
    for (const TParamEntry& entry : TParamCatalogue::Entries()) {
        auto left = a.Param(entry.Key);
        auto right = b.Param(entry.Key);
        const bool same = left && right ? TParamCatalogue::SameValue(entry, *left, *right)
                                        : left.has_value() == right.has_value();
        if (!same) {
            rows.push_back({entry.Key, entry.Caption, std::move(left), std::move(right)});
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
            rows.push_back({key, entry.Caption, value, std::nullopt});
        } else if (check != verify.Params.end() && check->State != TParamState::Confirmed) {
            rows.push_back({key, entry.Caption, value, check->Device});
        }
    }
    return rows;
}
