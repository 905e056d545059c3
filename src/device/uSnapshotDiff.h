#pragma once

#include <QString>
#include <optional>
#include <vector>

class TSnapshot;

// One parameter whose value differs between two snapshots; a side without the key has no
// value.
struct TDiffRow {
    QString Key;
    QString Caption;
    std::optional<QString> A;
    std::optional<QString> B;
};

// The catalogue parameters whose values differ, in the catalogue's order. Values are compared
// as texts, exactly: the device's text is what a restore writes.
std::vector<TDiffRow> CompareSnapshots(const TSnapshot& a, const TSnapshot& b);
