#pragma once

#include "uCmdItem.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

namespace Ui {
class TFrmMain;
}
class IMessageService;
class QAbstractButton;
class QLineEdit;
class TExchangeEngine;
class TReplyHandler;
class TUploadSchedule;

// The Read and Write operations of the settings boxes and the batch operations of the bottom
// bar: each validates what it writes, queues its commands in a fixed order and starts the
// queue. Values come from the window's controls; replies fill the same controls.
class TParamGroups {
public:
    using TCmdList = std::vector<TCmdItem>;
    TParamGroups(Ui::TFrmMain& ui, TExchangeEngine& engine, IMessageService& messages,
                 TReplyHandler& replies, TUploadSchedule& schedule);

    void sbT01Click();
    void btnCenterNumberReadClick();
    void btnCenterNumberSetClick();
    void btnGprsReadClick();
    void btnGprsSetClick();
    void btnWorkModeReadClick();
    void btnWorkModeSetClick();
    void btnVipCfgReadClick();
    void btnVipCfgSetClick();
    void CBox_CheckAllClick();
    void btnVolumeReadClick();
    void btnVolumeSetClick();
    void btnVolumeAddClick();
    void btnVolumeDecClick();
    void btn_SelfGeoSetClick();
    void btnReadAllClick();
    void btnWriteAllClick();
    void btnDefaultClick();

    // Digits only, after an optional leading "+"; the empty text and "+" alone pass.
    static bool IsPhoneNumber(const QString& text);
    // The texts the groups add to the window's, for the language file.
    static QStringList Texts();
    // One authorised-number edit (its name ends in its row number): 11 W, or a message when
    // the number is not a phone number.
    void EnqueueVipNumber(TCmdList& cmds, const QLineEdit& edit);
    // 22 W with the four alarm flags of row k (1 to 5).
    void EnqueueVipAlarms(TCmdList& cmds, int k);
    // Write All's commands from the controls, the one place that builds them (Write All and
    // saving the window's values as a snapshot). Shows Write All's messages; nullopt when
    // Write All would send nothing.
    std::optional<TCmdList> WriteAllCommands();
    // The volume's write as its Write button sends it.
    TCmdItem VolumeCommand() const;
    // The radius's write as its Write button sends it; nullopt when the field holds no number.
    std::optional<TCmdItem> RadiusCommand() const;

private:
    struct TUploadCounts {
        int Interval = 0;
        int Times = 0;
    };

    void Start(const QString& label);
    void Read(std::initializer_list<int> numbers);
    // A batch of reads alone.
    void RunReads(const QString& label, std::initializer_list<int> numbers);
    // A group's batch in the user's words: "Basic information: Write".
    static QString GroupLabel(const QString& group, const QAbstractButton* button);
    QString VipLabel(const QAbstractButton* button) const;
    void Add(const TCmdList& cmds);
    static void Write(TCmdList& cmds, int number, const QString& args);
    static void WriteSwitch(TCmdList& cmds, int number, bool on);
    bool EnqueueCenterNumberAndAlias(TCmdList& cmds);
    bool CheckBatteryAlert();
    void EnqueueBatteryTimeAndCalls(TCmdList& cmds);
    void EnqueueGprs(TCmdList& cmds);
    void EnqueueGSensorAndHistory(TCmdList& cmds);
    std::optional<TUploadCounts> ReadUploadCounts() const;
    void EnqueueUploading(TCmdList& cmds, const TUploadCounts& counts);
    void EnqueueKeepAlive(TCmdList& cmds);
    void EnqueueVipReads();
    void EnqueueVipWrites(TCmdList& cmds);
    void ChangeVolume(int step);

    Ui::TFrmMain& FUi;
    TExchangeEngine& FEngine;
    IMessageService& FMessages;
    TReplyHandler& FReplies;
    TUploadSchedule& FSchedule;
};
