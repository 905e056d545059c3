#pragma once

#include "uFieldRule.h"

#include <QString>
#include <optional>
#include <vector>

class TSnapshot;
struct TSessionReport;

// One parameter whose value differs between two snapshots; a side without the key has no
// value. A value its parameter's rules refuse (a device's reply as it came) carries the reason.
struct TDiffRow {
    QString Key;
    QString Caption;
    std::optional<QString> A;
    std::optional<QString> B;
    QString FaultA;
    QString FaultB;
};

// A value as a list of differences shows it: control characters escaped, and when the value
// breaks its parameter's rule, the reason beside it: "VAN (unusual: P17: ...)".
QString ShownValue(const QString& value, const QString& fault, const TTranslate& translate = {});
// The texts ShownValue may look up, for the language file.
QStringList ShownValueTexts();

// The catalogue parameters whose values differ, in the catalogue's order. Values are compared
// as the device stores them (TParamCatalogue::SameValue).
std::vector<TDiffRow> CompareSnapshots(const TSnapshot& a, const TSnapshot& b);

// The snapshot's parameters a verify found different on the device, in the restore order, the
// device's value on side B. A parameter the device cannot report (the radius) is always listed,
// without a device value: nothing shows that the device holds it.
std::vector<TDiffRow> CompareWithDevice(const TSnapshot& snapshot, const TSessionReport& verify);
