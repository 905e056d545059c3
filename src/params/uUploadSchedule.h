#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>

namespace Ui {
class TFrmMain;
}
class QLabel;

// The fixed upload time points as parameter 21 carries them: the argument text (",m1,m2,...")
// and how many there are.
struct TRcdCheckWorkingTime {
    QString Args;
    int Count = 0;
};

// The "Data Uploading" box: the three modes, the interval choices of each channel, the
// keep-alive panel and the grid of 48 half-hour labels whose colours are the chosen time
// points. Also keeps the last keep-alive and time-point replies, which a mode change shows
// again. A mode button reacts when it becomes selected, by the user or by a reply, never when
// the selected one is clicked again.
class TUploadSchedule : public QObject {
    Q_OBJECT
public:
    static constexpr int kTimeLabels = 48;
    static constexpr int kKeepAliveOff = 300; // spin edit value while keep-alive is off

    // Makes the grid's labels (one per half hour, named lbl_Main_HHx, x 0 or 5 for the half)
    // and takes their clicks.
    explicit TUploadSchedule(Ui::TFrmMain& ui, QObject* parent = nullptr);

    void RBtn_Main_01Click();
    void RBtn_Main_02Click();
    void RBtn_Main_03Click();
    // The channel list was used: only a choice that changes the channel rebuilds the intervals.
    void cbUpLoadModeClick(int index);
    void lbl_Main_XX_Click(QLabel& label);

    void ResetTimeLabels(bool enabled);
    void ClearTimeLabels();
    void MarkTimeLabel(const QString& name);
    void RefreshUploadOptions();
    TRcdCheckWorkingTime CollectTimePoints() const;

    // The mode as the device numbers it: 1 normal, 3 when moving, 2 fixed time points.
    int SelectedMode() const;
    bool FixedTimeSelected() const;
    bool IsMarked(const QLabel& label) const;

    // A keep-alive reply: kept for later mode changes and shown now.
    void StoreKeepAlive(int seconds);
    int KeepAliveSeconds() const { return FKeepAliveSeconds; }
    // A time-point reply, every field from the identity on.
    void StoreTimePoints(const QStringList& fields) { FFixedTimeList = fields; }
    const QStringList& FixedTimeList() const { return FFixedTimeList; }
    // Marks the stored reply's time points when it has a count of one or more.
    void ApplyStoredTimePoints();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowKeepAlive();
    void HideKeepAlive();
    void SetMark(QLabel& label, bool marked);
    bool IsChannelList(const QObject* watched) const;

    Ui::TFrmMain& FUi;
    std::array<QLabel*, kTimeLabels> FLabels{};
    int FKeepAliveSeconds = 0;
    QStringList FFixedTimeList;
    static constexpr int kChannelUnknown = -2;
    int FChannelBefore = kChannelUnknown; // the channel when the user began to use the list
};
