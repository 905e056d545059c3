#pragma once

#include "uJobRecord.h"

#include <QDialog>
#include <QStringList>
#include <vector>

class QLabel;
class QLineEdit;
class QTableWidget;
class TWindowRecords;

// A device's records, newest first: when, what, how it ended, where and by whom; below, the
// state of every setting of the record selected, and its details. Opens on the connected
// device; another ID can be typed in.
class TRecordsHistoryDialog : public QDialog {
    Q_OBJECT
public:
    TRecordsHistoryDialog(TWindowRecords& records, const QString& deviceId, QWidget* parent);

    // The texts the dialog shows, for the language file.
    static QStringList Texts();
    // The tooltips of its details and of Close, added later than Texts().
    static QStringList TipTexts();

    // Lists the records of the device in the ID field.
    void btnHistoryShowClick();

private:
    void ShowRecord(int row);

    TWindowRecords& FRecords;
    QLineEdit* FId = nullptr;
    QTableWidget* FJobs = nullptr;
    QTableWidget* FStates = nullptr;
    QLabel* FNotice = nullptr;
    QLabel* FDetail = nullptr;
    std::vector<TJobRecord> FShown;
};
