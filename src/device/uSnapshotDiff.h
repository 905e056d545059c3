#pragma once

#include <QString>
#include <optional>
#include <vector>

class TSnapshot;
struct TSessionReport;

// One parameter whose value differs between two snapshots; a side without the key has no
// value.
struct TDiffRow {
    QString Key;
    QString Caption;
    std::optional<QString> A;
    std::optional<QString> B;
};

// The catalogue parameters whose values differ, in the catalogue's order. Values are compared
// as the device stores them (TParamCatalogue::SameValue).
std::vector<TDiffRow> CompareSnapshots(const TSnapshot& a, const TSnapshot& b);

// The snapshot's parameters a verify found different on the device, in the restore order, the
// device's value on side B. A parameter the device cannot report (the radius) is always listed,
// without a device value: nothing shows that the device holds it.
std::vector<TDiffRow> CompareWithDevice(const TSnapshot& snapshot, const TSessionReport& verify);
