#pragma once

#include "uSnapshotDiff.h"

#include <QDialog>
#include <QStringList>
#include <vector>

class QTableWidget;

// The settings in which a snapshot and the device differ: the setting in the technician's
// words, the snapshot's value, the device's value. To restore, every row has a check box,
// ticked at first, and the dialog is accepted with the rows to write; or it ends with
// TSnapshotValues::kChosen when the user wants the device's row of a values file first.
class TSnapshotDiffDialog : public QDialog {
    Q_OBJECT
public:
    // note: a line above the table (where the values came from); empty for none.
    TSnapshotDiffDialog(const std::vector<TDiffRow>& rows, bool choose, QWidget* parent,
                        const QString& note = QString());

    // The keys of the ticked rows, in the table's order.
    QStringList CheckedKeys() const;
    // The texts the dialog shows, for the language file.
    static QStringList Texts();

private:
    // The ticked rows are the selected ones, whichever way either changes.
    void KeepTicksSelected();

    QTableWidget* FTable = nullptr;
    QStringList FKeys;
};
