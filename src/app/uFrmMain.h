#pragma once

#include "uCommPort.h"
#include "uEngineHost.h"
#include "uKeyFilter.h"
#include "uPortList.h"
#include "uReplyHandler.h"

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>

namespace Ui {
class TFrmMain;
}
class IMessageService;
class TFieldStates;
class TExchangeEngine;
class TFenceFileActions;
class TGeoFenceEditor;
class TGeoFenceModel;
class TMapBridge;
class TOperationStrip;
class TParamGroups;
class TProfile;
class TSnapshotActions;
class TWindowRecords;
class TUploadSchedule;
class TRawConsole;
class TfrmDebugMemo;
class TSessionLog;

// The main window: owns the controls (the settings model), the serial port and the
// exchange engine, runs start-up and shutdown, and switches the port. Tests find every
// control by its object name.
class TFrmMain : public QWidget, public IEngineHost {
    Q_OBJECT
public:
    // Runs the whole start-up; message boxes and file dialogs go through messages.
    TFrmMain(IMessageService& messages, const TCommPortFactory& portFactory,
             QWidget* parent = nullptr);
    ~TFrmMain() override;

    // The texts the window looks up after its original ones, in that order: they take the
    // ids after those, before the master language file is written.
    static QStringList AddedTexts();

    // Start options: the text of the port field and of the baud field.
    void PresetPort(const QString& field);
    void PresetBaud(const QString& text);
    // Where the port list comes from: the machine's serial ports unless a test gives its own.
    void SetPortLister(std::function<QStringList()> lister) { FPortLister = std::move(lister); }
    // Lists the ports present now, keeping what the port field shows.
    void RefreshPorts();

    Ui::TFrmMain& Controls() { return *ui; }
    TUploadSchedule& Schedule() { return *FSchedule; }
    TReplyHandler& Replies() { return *FReplies; }
    TParamGroups& Groups() { return *FGroups; }
    TProfile& Profile() { return *FProfile; }
    TGeoFenceList& GeoFences() { return FGeoFenceList; }
    TGeoFenceModel& GeoFenceModel() { return *FGeoFenceModel; }
    TGeoFenceEditor& GeoFenceEditor() { return *FGeoFenceEditor; }
    TFieldStates& FieldStates() { return *FFieldStates; }
    TSnapshotActions& Snapshots() { return *FSnapshots; }
    TWindowRecords& Records() { return *FRecords; }
    TMapBridge& MapBridge() { return *FMapBridge; }
    TExchangeEngine& Engine() { return *FEngine; }
    TOperationStrip& Strip() { return *FStrip; }
    ICommPort& ComPort() { return *FComPort; }

    void AddLog(const QString& line) override;
    // A line of the day log alone.
    void AppendDayLog(const QString& line);
    void ShowProgress(int total, int count) override;
    void SetDeviceButtons(bool enabled) override;
    void HandleReply(const QByteArray& reply) override;
    QString TranslateText(const QString& text) override;

public Q_SLOTS:
    void btn_SwitchClick();
    void cbLanguageChange();
    void btnShowMsgClick();

    void btnLoadMapClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TCaption {
        QWidget* control; // nullptr: the text is only looked up, so it gets its id now
        const char* text;
    };

    void BuildWindow();
    void ApplyAddedTexts();
    void CreateParameterLayer();
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
    void SelectRememberedConnection();
    void RememberConnection();
    // Stores one key of the settings file's [config] section; false after reporting an error.
    bool WriteSetting(const QString& key, const QString& value);
    void AssignKeyFilters();
    void NoteStartupError(const std::optional<QString>& error);
    void lblIDMouseDown(const QMouseEvent& press);
    void lblMapLatMouseDown(const QMouseEvent& press);
    // The debug log window, created hidden on first use and kept for the run.
    TfrmDebugMemo& GetDebugMemo();

    void ComPortAfterOpen();
    void ComPortAfterClose();
    void ComPortLineLost(const QString& error);
    void ShowPortClosed();
    // Opening or closing a port: what the window showed of the device no longer holds.
    void ForgetDevice();
    void SetSwitchColor(const QColor& color);

    std::unique_ptr<Ui::TFrmMain> ui;
    IMessageService& FMessages;
    std::unique_ptr<ICommPort> FComPort;
    std::unique_ptr<TExchangeEngine> FEngine;
    std::unique_ptr<TRawConsole> FConsole;
    std::unique_ptr<TfrmDebugMemo> FDebugMemo;
    std::unique_ptr<TSessionLog> FSessionLog;
    TGeoFenceList FGeoFenceList{};
    std::unique_ptr<TUploadSchedule> FSchedule;
    std::unique_ptr<TReplyHandler> FReplies;
    std::unique_ptr<TParamGroups> FGroups;
    std::unique_ptr<TProfile> FProfile;
    TGeoFenceModel* FGeoFenceModel = nullptr; // child of the window
    std::unique_ptr<TMapBridge> FMapBridge;
    std::unique_ptr<TGeoFenceEditor> FGeoFenceEditor;
    std::unique_ptr<TFenceFileActions> FFenceFiles;
    std::unique_ptr<TFieldStates> FFieldStates;
    std::unique_ptr<TSnapshotActions> FSnapshots;
    std::unique_ptr<TWindowRecords> FRecords;
    TOperationStrip* FStrip = nullptr; // child of the window

    TKeyFilter* FDigitKeys = new TKeyFilter(QStringLiteral("0123456789"), this);
    TKeyFilter* FPhoneNumberKeys = new TKeyFilter(QStringLiteral("+0123456789"), this);
    TKeyFilter* FSignedIntegerKeys = new TKeyFilter(QStringLiteral("-0123456789"), this);
    TKeyFilter* FCoordinateKeys = new TKeyFilter(QStringLiteral("+-.0123456789"), this);
    TKeyFilter* FNameKeys = new TKeyFilter(
        QStringLiteral(" -_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"), this);

    std::function<QStringList()> FPortLister = RefreshPortList;
    QTimer tmPortList;      // follows ports plugged in or removed while the window is open
    QRect FMapBodyGeometry; // the map's place while the tile host field is hidden

    bool FLineJustLost = false; // the write failing with the lost line reports nothing more
    QStringList FStartupErrors; // file errors of start-up, shown once it has finished
};
