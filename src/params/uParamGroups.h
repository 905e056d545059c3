#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <initializer_list>
#include <optional>

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
    void EnqueueVipNumber(const QLineEdit& edit);
    // 22 W with the four alarm flags of row k (1 to 5).
    void EnqueueVipAlarms(int k);

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
    void Write(int number, const QString& args);
    void WriteSwitch(int number, bool on);
    bool EnqueueCenterNumberAndAlias();
    bool CheckBatteryAlert();
    void EnqueueBatteryTimeAndCalls();
    void EnqueueGprs();
    void EnqueueGSensorAndHistory();
    std::optional<TUploadCounts> ReadUploadCounts() const;
    void EnqueueUploading(const TUploadCounts& counts);
    void EnqueueKeepAlive();
    void EnqueueVipReads();
    void EnqueueVipWrites();
    void ChangeVolume(int step);

    Ui::TFrmMain& FUi;
    TExchangeEngine& FEngine;
    IMessageService& FMessages;
    TReplyHandler& FReplies;
    TUploadSchedule& FSchedule;
};
