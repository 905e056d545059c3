#include "uSnapshotDiff.h"

#include "uParamCatalogue.h"
#include "uSnapshot.h"

std::vector<TDiffRow> CompareSnapshots(const TSnapshot& a, const TSnapshot& b) {
    std::vector<TDiffRow> rows;
    for (const TParamEntry& entry : TParamCatalogue::Entries()) {
        auto left = a.Param(entry.Key);
        auto right = b.Param(entry.Key);
        if (left != right) {
            rows.push_back({entry.Key, entry.Caption, std::move(left), std::move(right)});
        }
    }
    return rows;
}
