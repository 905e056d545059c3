#pragma once

#include "uCommPort.h"
#include "uEngineHost.h"
#include "uKeyFilter.h"

#include <QTimer>
#include <QWidget>
#include <array>
#include <initializer_list>
#include <memory>
#include <optional>

namespace Ui {
class TFrmMain;
}
class IMessageService;
class QCheckBox;
class QLabel;
class QStandardItemModel;
class TExchangeEngine;
class TRawConsole;
class TfrmDebugMemo;

// The main window: owns the controls (the settings model), the serial port and the
// exchange engine, runs start-up and shutdown, and switches the port. Tests find every
// control by its object name.
class TFrmMain : public QWidget, public IEngineHost {
    Q_OBJECT
public:
    static constexpr int kAlarmRows = 5;
    static constexpr int kAlarmsPerRow = 4;
    static constexpr int kTimeLabels = 48;

    // Runs the whole start-up; message boxes and file dialogs go through messages.
    TFrmMain(IMessageService& messages, const TCommPortFactory& portFactory,
             QWidget* parent = nullptr);
    ~TFrmMain() override;

    // Start options: the text of the port field and of the baud field.
    void PresetPort(const QString& field);
    void PresetBaud(const QString& text);

    Ui::TFrmMain& Controls() { return *ui; }
    TExchangeEngine& Engine() { return *FEngine; }
    ICommPort& ComPort() { return *FComPort; }

    void AddLog(const QString& line) override;
    void ShowProgress(int total, int count) override;
    void SetDeviceButtons(bool enabled) override;
    void HandleReply(const QByteArray& reply) override;
    QString TranslateText(const QString& text) override;

public Q_SLOTS:
    void btn_SwitchClick();
    void cbLanguageChange();
    void btnShowMsgClick();

    // Handlers of the parameter groups, the upload schedule, the geo-fences, the map and the
    // profiles. They are wired to their controls already; their work arrives with those layers.
    void sbT01Click() {}
    void btnCenterNumberReadClick() {}
    void btnCenterNumberSetClick() {}
    void btnGprsReadClick() {}
    void btnGprsSetClick() {}
    void RBtn_Main_01Click() {}
    void RBtn_Main_02Click() {}
    void RBtn_Main_03Click() {}
    void cbUpLoadModeClick() {}
    void btnWorkModeReadClick() {}
    void btnWorkModeSetClick() {}
    void CBox_CheckAllClick() {}
    void btnVipCfgReadClick() {}
    void btnVipCfgSetClick() {}
    void btn_GeoReadClick() {}
    void btn_GeoEditClick() {}
    void btn_GeoDisableClick() {}
    void btn_GeoSetAllClick() {}
    void btnGeoSaveClick() {}
    void btn_CloseClick() {}
    void btnLoadMapClick() {}
    void btn_GeoShowAllFenceClick() {}
    void btn_GeoClearAllClick() {}
    void btnVolumeAddClick() {}
    void btnVolumeDecClick() {}
    void btnVolumeReadClick() {}
    void btnVolumeSetClick() {}
    void btn_SelfGeoSetClick() {}
    void btnReadAllClick() {}
    void btnWriteAllClick() {}
    void btnDefaultClick() {}
    void btnSaveClick() {}
    void btnLoadClick() {}
    void tmBatteyChargingTimer() {}

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TCaption {
        QWidget* control; // nullptr: the text is only looked up, so it gets its id now
        const char* text;
    };

    void BuildWindow();
    void CreateTimeLabels();
    void CreateAlarmBoxes();
    void ConnectHandlers();
    void FormCreate();
    QString ConfiguredLanguage();
    QString ListedLanguage(const QString& language) const;
    void InitGeoFenceList();
    void ApplyTranslations();
    void ApplyCaptions(std::initializer_list<TCaption> captions);
    void SetCaption(QWidget* control, const QString& text);
    void SelectConfiguredLanguage(const QString& language);
    void SelectFirstPort();
    void AssignKeyFilters();
    void ResetTimeLabels(bool enabled);
    void NoteStartupError(const std::optional<QString>& error);
    void lblIDMouseDown(const QMouseEvent& press);
    // The debug log window, created hidden on first use and kept for the run.
    TfrmDebugMemo& GetDebugMemo();

    void ComPortAfterOpen();
    void ComPortAfterClose();
    void ComPortLineLost(const QString& error);
    void StopCharging();
    void ShowPortClosed();
    void SetSwitchColor(const QColor& color);

    std::unique_ptr<Ui::TFrmMain> ui;
    IMessageService& FMessages;
    std::unique_ptr<ICommPort> FComPort;
    std::unique_ptr<TExchangeEngine> FEngine;
    std::unique_ptr<TRawConsole> FConsole;
    std::unique_ptr<TfrmDebugMemo> FDebugMemo;

    std::array<QLabel*, kTimeLabels> FTimeLabels{};
    std::array<std::array<QCheckBox*, kAlarmsPerRow>, kAlarmRows> FAlarmBoxes{};
    QStandardItemModel* FGeoFenceModel = nullptr;

    TKeyFilter* FDigitKeys = new TKeyFilter(QStringLiteral("0123456789"), this);
    TKeyFilter* FPhoneNumberKeys = new TKeyFilter(QStringLiteral("+0123456789"), this);
    TKeyFilter* FSignedIntegerKeys = new TKeyFilter(QStringLiteral("-0123456789"), this);
    TKeyFilter* FCoordinateKeys = new TKeyFilter(QStringLiteral("+-.0123456789"), this);
    TKeyFilter* FNameKeys = new TKeyFilter(
        QStringLiteral(" -_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"), this);

    QTimer tmBatteyCharging;
    int FChargingLevel = 0;     // step of the charging animation on the battery meter
    bool FLineJustLost = false; // the write failing with the lost line reports nothing more
    QStringList FStartupErrors; // file errors of start-up, shown once it has finished
};
