#pragma once

#include <QDialog>
#include <QString>
#include <bitset>

class QComboBox;
class QListWidget;
class QPushButton;

// The "time items" editor: a list of times of day, each added once from an hour and a
// minute list, removed by selection, and given back on OK as "count,m1,m2,..." in minutes of
// the day, ascending.
class TfrmCustomCMD : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMinutesPerDay = 24 * 60;

    explicit TfrmCustomCMD(QWidget* parent = nullptr);

    // The texts of its own the dialog shows besides its captions: its tooltips.
    static QStringList Texts();

    void btnAddClick();
    void btnDelClick();
    void btnOKClick();
    void lbxTimeClick();

    // The text OK built last; empty before.
    const QString& Result() const { return FResult; }

    QListWidget& lbxTime() { return *FList; }
    QComboBox& cbHour() { return *FHour; }
    QComboBox& cbMin() { return *FMinute; }
    QPushButton& btnDel() { return *FDel; }

private:
    void RebuildList();

    QListWidget* FList = nullptr;
    QComboBox* FHour = nullptr;
    QComboBox* FMinute = nullptr;
    QPushButton* FDel = nullptr;
    std::bitset<kMinutesPerDay> FMinutes;
    QString FResult;
};
