#include "uFrmMain.h"

#include "uAccessKeyGuard.h"
#include "uAccessibility.h"
#include "uAppPaths.h"
#include "uControlTexts.h"
#include "uDebugMemo.h"
#include "uDeviceSession.h"
#include "uExchangeEngine.h"
#include "uFenceFileActions.h"
#include "uFieldGuard.h"
#include "uFieldStates.h"
#include "uFrmCustomCmd.h"
#include "uGeoFenceEditor.h"
#include "uGeoFenceModel.h"
#include "uIniDocument.h"
#include "uLanguage.h"
#include "uLinkError.h"
#include "uMapBridge.h"
#include "uMapOfflineNotice.h"
#include "uMbTilesHandler.h"
#include "uMessageService.h"
#include "uOperationStrip.h"
#include "uParamCatalogue.h"
#include "uParamControls.h"
#include "uParamGroups.h"
#include "uProfile.h"
#include "uRawConsole.h"
#include "uRecordsHistoryDialog.h"
#include "uSessionLog.h"
#include "uSnapshotActions.h"
#include "uSnapshotDiff.h"
#include "uSnapshotValues.h"
#include "uTranscriptView.h"
#include "uUploadSchedule.h"
#include "uWindowRecords.h"
#include "ui_uFrmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <vector>

namespace {

const QString kConfigSection = QStringLiteral("config");
const QString kLanguageKey = QStringLiteral("language");
const QString kLastPortKey = QStringLiteral("lastport"); // the last port opened successfully
const QString kLastBaudKey = QStringLiteral("lastbaud"); // and its baud rate
const QString kDefaultLanguage = QStringLiteral("english");
const QString kPortErrorCaption = QStringLiteral("ERROR"); // shown as it stands, untranslated

const char* const kCloseWhileWritingText =
    "A write to the device is still running. Close the window anyway?";

const QColor kSwitchOpenColor(0xA6, 0xCA, 0xF0); // sky blue while the port is open
const QColor kSwitchClosedColor(0x00, 0x00, 0xFF);

constexpr int kWindowWidth = 992;
constexpr int kWindowHeight = 596;
constexpr int kLargeFontPx = 16;
constexpr int kSmallFontPx = 11;
constexpr int kPortListMs = 2000;
constexpr int kRowGap = 4;

// The six columns of the geo-fence list.
constexpr std::array<const char*, 6> kGeoFenceColumns = {
    "ID", "Name", "Lat-Left Top", "Long-Left Top", "Lat-Right Bottom", "Long-Right Bottom"};

// A right-button double-click without modifiers; any other press on the same label undoes
// what it showed.
bool IsRevealGesture(const QMouseEvent& press) {
    return press.type() == QEvent::MouseButtonDblClick && press.button() == Qt::RightButton &&
           press.buttons() == Qt::RightButton && press.modifiers() == Qt::NoModifier;
}

void SetTextColor(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

// The colour of an enabled control only: disabled, it is grey like the others.
void SetEnabledTextColor(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Active, role, color);
    palette.setColor(QPalette::Inactive, role, color);
    widget->setPalette(palette);
}

} // namespace

TFrmMain::TFrmMain(IMessageService& messages, const TCommPortFactory& portFactory, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TFrmMain>()), FMessages(messages),
      FComPort(portFactory()), FEngine(std::make_unique<TExchangeEngine>(*FComPort, *this)),
      FSessionLog(std::make_unique<TSessionLog>(LogDir())) {
    BuildWindow();
    FConsole = std::make_unique<TRawConsole>(
        *FEngine, ui->edt_Send, ui->mm_Recv,
        TRawConsole::TDialogs{
            [this](const QString& text, const QString& caption) {
                // A write that failed because the line vanished under it: the loss has just
                // been reported, once.
                if (!(FLineJustLost && caption == kPortErrorCaption)) {
                    FMessages.ShowMessage(text, caption, TMessageIcon::Error);
                }
            },
            [this](const QString& proposed, const QString& filter) {
                return FMessages.GetSaveFileName(proposed, filter).value_or(QString());
            }});
    CreateParameterLayer();
    ConnectHandlers();
    FormCreate();
}

// Replies, groups, schedule and profiles work on the controls, which hold the settings; the
// geo-fence replies go to the table that the geo-fence list shows.
void TFrmMain::CreateParameterLayer() {
    FGeoFenceModel = new TGeoFenceModel(FGeoFenceList, this);
    FMapBridge = std::make_unique<TMapBridge>(*ui, FMessages);
    FGeoFenceEditor = std::make_unique<TGeoFenceEditor>(*ui, *FEngine, *FMapBridge, FMessages,
                                                        FGeoFenceList, *FGeoFenceModel);
    FFenceFiles =
        std::make_unique<TFenceFileActions>(*ui, FMessages, FGeoFenceList, *FGeoFenceModel);
    FSchedule = std::make_unique<TUploadSchedule>(*ui);
    FReplies = std::make_unique<TReplyHandler>(*ui, *FEngine, *FSchedule, FGeoFenceList,
                                               [this] { FGeoFenceModel->Refresh(); });
    FGroups = std::make_unique<TParamGroups>(*ui, *FEngine, FMessages, *FReplies, *FSchedule);
    FProfile = std::make_unique<TProfile>(*ui, FMessages, *FReplies);
    FFieldStates = std::make_unique<TFieldStates>(*ui, *FEngine, *FGeoFenceModel);
    FRecords = std::make_unique<TWindowRecords>(*ui, *FEngine, FMessages);
    NoteStartupError(FRecords->LocationError());
    FSnapshots = std::make_unique<TSnapshotActions>(*ui, *FEngine, FMessages, *FStrip, *FGroups,
                                                    FGeoFenceList, *FRecords);
    ApplyDeviceRules(*FEngine, ::TranslateText);
}

TFrmMain::~TFrmMain() {
    // Nothing of the port may reach a window that is going away.
    FComPort->disconnect(this);
    FEngine->CancelQueue();
}

void TFrmMain::BuildWindow() {
    InstallAccessibility();
    ui->setupUi(this);
    setWindowIcon(QIcon::fromTheme(QStringLiteral("tervo-assistant"),
                                   QIcon(QStringLiteral(":/tervo/tervo-assistant.svg"))));
    QFont face = font();
    if (QFontDatabase::families().contains(QStringLiteral("Arial"))) {
        face.setFamily(QStringLiteral("Arial"));
    }
    face.setPixelSize(12);
    setFont(face);
    for (QWidget* large :
         {static_cast<QWidget*>(ui->cboCOMIndex), static_cast<QWidget*>(ui->txtBAUD),
          static_cast<QWidget*>(ui->btn_Switch), static_cast<QWidget*>(ui->lblVersion)}) {
        QFont bigger = large->font();
        bigger.setPixelSize(kLargeFontPx);
        large->setFont(bigger);
    }
    SetSwitchColor(kSwitchClosedColor);
    SetEnabledTextColor(ui->btnDefault, QPalette::ButtonText, Qt::red);
    ui->txtLatLng->setAutoFillBackground(true);
    // A little smaller, so that a clicked point's whole text shows.
    QFont pointFont = ui->txtLatLng->font();
    pointFont.setPixelSize(kSmallFontPx);
    ui->txtLatLng->setFont(pointFont);
    SetTextColor(ui->txtLatLng, QPalette::Base, palette().color(QPalette::ToolTipBase));
    ui->sbT01->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    ui->RzMeter_GSM->ConfigureSignal();
    ui->RzMeter_GPS->ConfigureSignal();
    ui->RzMeter_Battery->ConfigureBattery();
    ui->RzMeter_Volume->ConfigureVolume();
    CreateAlarmGrid(*ui);
    setFixedSize(kWindowWidth, kWindowHeight);
    FStrip = new TOperationStrip(*this, *ui, *FEngine, *FComPort, FMessages,
                                 [this](const QString& line) { AppendDayLog(line); });
    qApp->installEventFilter(new TAccessKeyGuard(this));
    // The editable lists keep their own items: Enter takes the typed text without adding it.
    for (QComboBox* list : {static_cast<QComboBox*>(ui->cboCOMIndex), ui->cboBatteryAlert,
                            ui->CBox_UploadingInterval, ui->Cbox_UploadingTimes}) {
        list->setInsertPolicy(QComboBox::NoInsert);
    }
    // The editing panel covers the list beneath it.
    ui->pnlGeoEdit->setAutoFillBackground(true);
    FMapBodyGeometry = ui->pnlMapBody->geometry();
    ui->ed_googleurl->setParent(ui->rgMap);
    ui->ed_googleurl->setGeometry(FMapBodyGeometry.x(), FMapBodyGeometry.y(),
                                  FMapBodyGeometry.width(), ui->ed_googleurl->height());
    ui->ed_googleurl->hide();

#ifdef Q_OS_WIN
    // Port numbers only; elsewhere the field takes device names and paths. Typed keys reach an
    // editable list first, which hands them to its line edit past that one's filters.
    ui->cboCOMIndex->installEventFilter(FDigitKeys);
    ui->cboCOMIndex->lineEdit()->installEventFilter(FDigitKeys);
#endif
    ui->lblID->installEventFilter(this);
    ui->lblMapLat->installEventFilter(this);

    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TFrmMain::ConnectHandlers() {
    using THandler = void (TFrmMain::*)();
    const std::initializer_list<std::pair<QAbstractButton*, THandler>> clicks = {
        {ui->btn_Switch, &TFrmMain::btn_SwitchClick},
        {ui->btnLoadMap, &TFrmMain::btnLoadMapClick},
    };
    for (const auto& [button, handler] : clicks) {
        connect(button, &QAbstractButton::clicked, this, handler);
    }
    using TGeoHandler = void (TGeoFenceEditor::*)();
    const std::initializer_list<std::pair<QAbstractButton*, TGeoHandler>> geoClicks = {
        {ui->btn_GeoRead, &TGeoFenceEditor::btn_GeoReadClick},
        {ui->btn_GeoEdit, &TGeoFenceEditor::btn_GeoEditClick},
        {ui->btn_GeoDisable, &TGeoFenceEditor::btn_GeoDisableClick},
        {ui->btn_GeoSetAll, &TGeoFenceEditor::btn_GeoSetAllClick},
        {ui->btnGeoSave, &TGeoFenceEditor::btnGeoSaveClick},
        {ui->btn_Close, &TGeoFenceEditor::btn_CloseClick},
        {ui->btn_GeoShowAllFence, &TGeoFenceEditor::btn_GeoShowAllFenceClick},
        {ui->btn_GeoClearAll, &TGeoFenceEditor::btn_GeoClearAllClick},
    };
    for (const auto& [button, handler] : geoClicks) {
        connect(button, &QAbstractButton::clicked, FGeoFenceEditor.get(), handler);
    }
    using TGroupHandler = void (TParamGroups::*)();
    const std::initializer_list<std::pair<QAbstractButton*, TGroupHandler>> groupClicks = {
        {ui->sbT01, &TParamGroups::sbT01Click},
        {ui->btnCenterNumberRead, &TParamGroups::btnCenterNumberReadClick},
        {ui->btnCenterNumberSet, &TParamGroups::btnCenterNumberSetClick},
        {ui->btnGprsRead, &TParamGroups::btnGprsReadClick},
        {ui->btnGprsSet, &TParamGroups::btnGprsSetClick},
        {ui->btnWorkModeRead, &TParamGroups::btnWorkModeReadClick},
        {ui->btnWorkModeSet, &TParamGroups::btnWorkModeSetClick},
        {ui->CBox_CheckAll, &TParamGroups::CBox_CheckAllClick},
        {ui->btnVipCfgRead, &TParamGroups::btnVipCfgReadClick},
        {ui->btnVipCfgSet, &TParamGroups::btnVipCfgSetClick},
        {ui->btnVolumeAdd, &TParamGroups::btnVolumeAddClick},
        {ui->btnVolumeDec, &TParamGroups::btnVolumeDecClick},
        {ui->btnVolumeRead, &TParamGroups::btnVolumeReadClick},
        {ui->btnVolumeSet, &TParamGroups::btnVolumeSetClick},
        {ui->btn_SelfGeoSet, &TParamGroups::btn_SelfGeoSetClick},
        {ui->btnReadAll, &TParamGroups::btnReadAllClick},
        {ui->btnWriteAll, &TParamGroups::btnWriteAllClick},
        {ui->btnDefault, &TParamGroups::btnDefaultClick},
    };
    for (const auto& [button, handler] : groupClicks) {
        connect(button, &QAbstractButton::clicked, this,
                [groups = FGroups.get(), handler = handler] { (groups->*handler)(); });
    }
    connect(ui->btnSave, &QAbstractButton::clicked, this, [this] { FProfile->btnSaveClick(); });
    connect(ui->btnLoad, &QAbstractButton::clicked, this, [this] { FProfile->btnLoadClick(); });
    connect(ui->btnShowMsg, &QAbstractButton::clicked, this, &TFrmMain::btnShowMsgClick);
    connect(ui->btn_AdvOper_Send, &QAbstractButton::clicked, FConsole.get(),
            &TRawConsole::btn_AdvOper_SendClick);
    connect(ui->btn_AdvOper_Clear, &QAbstractButton::clicked, FConsole.get(),
            &TRawConsole::btn_AdvOper_ClearClick);
    connect(ui->btn_AdvOper_CmdSave, &QAbstractButton::clicked, FConsole.get(),
            &TRawConsole::btn_AdvOper_CmdSaveClick);
    connect(ui->cbUpLoadMode, &QComboBox::activated, FSchedule.get(),
            &TUploadSchedule::cbUpLoadModeClick);
    connect(ui->cbLanguage, &QComboBox::activated, this, &TFrmMain::cbLanguageChange);
    connect(ui->edt_Send, &QLineEdit::returnPressed, FConsole.get(),
            &TRawConsole::btn_AdvOper_SendClick);
    connect(ui->cboCOMIndex, &TPortComboBox::PopupAboutToShow, this, &TFrmMain::RefreshPorts);
    // Not while a batch runs: asking the system for its ports takes milliseconds the batch's
    // pacing would lose.
    connect(&tmPortList, &QTimer::timeout, this, [this] {
        if (!FEngine->IsBusy()) {
            RefreshPorts();
        }
    });

    connect(FComPort.get(), &ICommPort::AfterOpen, this, &TFrmMain::ComPortAfterOpen);
    connect(FComPort.get(), &ICommPort::AfterClose, this, &TFrmMain::ComPortAfterClose);
    connect(FComPort.get(), &ICommPort::LineLost, this, &TFrmMain::ComPortLineLost);
}

// The order matters: language files number their texts by the order of first lookup, so
// the geo-fence headers, the translation pass and the master file come in this sequence
// before anything else looks a text up.
void TFrmMain::FormCreate() {
    // Numbers are formatted and parsed with "." by the program's own code; the system
    // locale is left alone.
    FSchedule->ResetTimeLabels(false);
    ui->cbLanguage->addItems(LanguageNames());
    SetDeviceButtons(false);
    const QString language = ConfiguredLanguage();
    LoadLanguage(ListedLanguage(language));
    InitGeoFenceList();
    ApplyTranslations();
    ApplyAddedTexts();
    NoteStartupError(ExportLanguageFile(kDefaultLanguage));
    SelectConfiguredLanguage(language);
    // Typed keys reach an editable list first, which hands them to its line edit past that
    // one's filters; both get the filter.
    for (QWidget* digitsOnly :
         {static_cast<QWidget*>(ui->cboBatteryAlert),
          static_cast<QWidget*>(ui->cboBatteryAlert->lineEdit()),
          static_cast<QWidget*>(ui->ed_MapZoom), static_cast<QWidget*>(ui->txtGSensorParam)}) {
        digitsOnly->installEventFilter(FDigitKeys);
    }
    ui->cboCOMIndex->clear();
    ui->cboCOMIndex->addItems(FPortLister());
    SelectFirstPort();
    SelectRememberedConnection();
    tmPortList.start(kPortListMs);
    ui->pgCtrl->setCurrentWidget(ui->tsMain);
    ui->RzMeter_Battery->SetValue(0);
    ui->RzMeter_LED->SetText(QStringLiteral("0000000000"));
    ui->RzMeter_GSM->SetValue(0);
    ui->RzMeter_GPS->SetValue(0);
    ui->RzMeter_Volume->SetValue(0);
    AssignKeyFilters();
    ui->Cbox_UploadingTimes->clear();
    // The first entry stands for the value 0, which is what its field's rule checks.
    ui->Cbox_UploadingTimes->addItem(TranslateText(QStringLiteral("Uploading all the time")),
                                     QStringLiteral("0"));
    ui->Cbox_UploadingTimes->addItems(
        {QStringLiteral("5"), QStringLiteral("10"), QStringLiteral("15"), QStringLiteral("20")});
    ui->Cbox_UploadingTimes->setCurrentIndex(0);
    FSchedule->RefreshUploadOptions();
    ui->pgCtrl->setTabVisible(ui->pgCtrl->indexOf(ui->tsOther), false);
    ApplyControlTexts(*this);

    FMapBridge->ShowTileSource();
    for (const QString& error : std::as_const(FStartupErrors)) {
        FMessages.ShowMessage(error, TranslateText(QStringLiteral("Error")), TMessageIcon::Error);
    }
    FStartupErrors.clear();
}

// The language of the settings file; "english" when none is set, which is then stored at once.
QString TFrmMain::ConfiguredLanguage() {
    const QString path = SettingsFilePath();
    TIniDocument settings;
    if (const auto error = settings.LoadFromFile(path)) {
        // A settings file that cannot be read is not overwritten with a one-key file.
        FStartupErrors.append(*error);
        return kDefaultLanguage;
    }
    const QString language = settings.Value(kConfigSection, kLanguageKey).value_or(QString());
    if (!language.isEmpty()) {
        return language;
    }
    settings.WriteString(kConfigSection, kLanguageKey, kDefaultLanguage);
    NoteStartupError(settings.SaveToFile(path));
    return kDefaultLanguage;
}

// The name of the listed language file that the configured name means, ignoring letter
// case as the selector does, so that the file is found on a case-sensitive file system too.
QString TFrmMain::ListedLanguage(const QString& language) const {
    const int listed = ui->cbLanguage->findText(language, Qt::MatchFixedString);
    return listed >= 0 ? ui->cbLanguage->itemText(listed) : language;
}

// The 64 records and the list's columns, with the translated headers.
void TFrmMain::InitGeoFenceList() {
    QStringList headers;
    for (const char* column : kGeoFenceColumns) {
        headers.append(TranslateText(QString::fromUtf8(column)));
    }
    FGeoFenceEditor->InitGeoFenceList(headers);
}

void TFrmMain::ApplyTranslations() {
    ApplyCaptions({
        {ui->rgbCom, "COM Setting"},
        {ui->lblComPort, "COM Port"},
        {ui->lblBaudRate, "Baud Rate"},
        {ui->btn_Switch, "Open[&O]"},
        {ui->btnShowMsg, "Debug Info"},
        {ui->rgbInfo, "Basic information"},
        {ui->lblID, "ID:"},
        {ui->lblAnother, "Another Name:"},
        {ui->lblGSM, "GSM:"},
        {ui->lblGPS, "GPS:"},
        {ui->lblVer, "Version:"},
        {ui->lblBattery, "Battery:"},
        {ui->tsMain, "Main Settings"},
        {ui->tsAuthorization, "Authorization number"},
        {ui->tsGeo, "Geo-fence Setting"},
        {ui->tsAdvOperation, "Advanced Operations"},
        {ui->tsOther, "Other"},
        {ui->gbBasicInfo, "Basic information"},
        {ui->lblSmsNo, "SMS Primary number:"},
        {ui->lblAlias, "Another Name:"},
        {ui->lblBatteryPercent, "Low Battery:"},
        {ui->lblTimeDif, "Time difference:"},
        {ui->lblTrackByCall, "Track by Calling:"},
        {ui->lblAutomaticAnswerCall, "Automatic answer the call:"},
        {ui->lblTimeMin, "Min"},
        {ui->btnCenterNumberRead, "Read"},
        {ui->btnCenterNumberSet, "Write"},
        {ui->gbGPRS, "GPRS network parameters"},
        {ui->lblGprsIP, "IP address:"},
        {ui->lblGprsPort, "Port:"},
        {ui->lblGprsAPN, "APN:"},
        {ui->lblAPNName, "APN User:"},
        {ui->lblApnPass, "APN Pass:"},
        {ui->btnGprsRead, "Read"},
        {ui->btnGprsSet, "Write"},
        {ui->gbDataUploading, "Data Uploading"},
        {ui->RBtn_Main_01, "Normal uploading"},
        {ui->RCox_KeepAlive, "Keep alive"},
        {ui->lbl_sec_1, "sec"},
        {ui->RBtn_Main_02, "Uploading when Moving"},
        {ui->RBtn_Main_03, "Fixed time point uploading"},
        {ui->lblWorkMode, "Mode"},
        {ui->lblUpItv, "Interval:"},
        {ui->lblUpTimes, "Times:"},
        {ui->lblUpSec, "sec"},
        {ui->btnWorkModeRead, "Read"},
        {ui->btnWorkModeSet, "Write"},
        {ui->lblVIP_1, "Call 1"},
        {ui->lblVIP_2, "Call 2"},
    });
    for (const auto& row : AlarmGrid(*ui)) {
        for (int alarm = 0; alarm < kAlarmColumns; ++alarm) {
            SetCaption(row[alarm], TranslateText(QString::fromLatin1(kAlarmTexts[alarm])));
        }
    }
    ApplyCaptions({
        {ui->CBox_CheckAll, "Select All"},
        {ui->btnVipCfgRead, "Read"},
        {ui->btnVipCfgSet, "Write"},
        {ui->gbGeoFence, "Geo-fence"},
        {ui->btn_GeoRead, "Read All Geo-fence"},
        {ui->btn_GeoEdit, "Edit"},
        {ui->btn_GeoDisable, "Disable"},
        {ui->btn_GeoSetAll, "Write Selected Geo-fence"},
        {ui->lblFenceName, "Geo-fence Name:"},
        {ui->lblLTLng, "Left Top Longitude:"},
        {ui->lblLTLat, "Left Top Latitude:"},
        {ui->lblRBLng, "Right Bottom Longitude:"},
        {ui->lblRBLat, "Right Bottom Latitude:"},
        {ui->btnGeoSave, "Save"},
        {ui->btn_Close, "Close"},
        {ui->rgMap, "Google Map"},
        {ui->lblMapLat, "Latitude"},
        {ui->lblMapLng, "Longitude"},
        {ui->lblMapZoom, "Zoom"},
        {ui->btnLoadMap, "Load Google Map"},
        {ui->btn_GeoShowAllFence, "Show All Geo-fence"},
        {ui->btn_GeoClearAll, "Clear All Geo-fence"},
        {ui->lbl_AdvOper_ASCIICmd, "ASCII Commands:"},
        {ui->btn_AdvOper_Send, "Send"},
        {ui->btn_AdvOper_Clear, "Clear"},
        {ui->btn_AdvOper_CmdSave, "Save"},
        {ui->btnReadAll, "Read All [&A]"},
        {ui->btnWriteAll, "Write All [&W]"},
        {ui->btnDefault, "Factory Default [&D]"},
        {ui->cbTipOnOK, "show tip message"},
        {ui->lblLanguage, "Language:"},
        {ui->btnSave, "Save[&S]"},
        {ui->btnLoad, "Load[&L]"},
        {nullptr, "Please open the com port!"},
        {nullptr, "Google Map not loading !"},
        {nullptr, "Message"},
        // The time-items dialog of the upload schedule: its caption and its own texts.
        {nullptr, "time items"},
        {nullptr, "hour"},
        {nullptr, "minute"},
        {nullptr, "Add(&A)"},
        {nullptr, "Del(&D)"},
        {nullptr, "OK(&O)"},
        {nullptr, "Cancel(&C)"},
        {ui->cbTipOnOK, "show tip message"},
    });
    setWindowTitle(TranslateText(QStringLiteral("Tervo Assistant Ver")) + QStringLiteral(" 4.4"));
    ApplyCaptions({
        {nullptr, "Please Input The Low Battery Value More than 10!"},
        {nullptr, "Center number is error."},
        {nullptr, "Operation success !"},
        {nullptr, "Message"},
        {nullptr, "Uploading all the time"},
    });
    GetDebugMemo().ApplyTranslations();
    ApplyCaptions({
        {ui->lblGSensorParam, "G-sensor parameter:"},
        {ui->lblHistoryUploadAuto, "History data uploading automatical:"},
    });
}

// Texts the window has beyond its original ones: looked up after those, so every id that a
// language file already uses keeps its meaning, and before the master file is written, so
// they can be translated too. A new text goes at the end, so that the ids of the ones before
// stay what translations made from an earlier master file use.
QStringList TFrmMain::AddedTexts() {
    return TOperationStrip::ButtonTexts() +
           QStringList{QString::fromLatin1(kCloseWhileWritingText)} + OutcomeTexts() +
           TParamGroups::Texts() + TFieldStates::Texts() + ControlTexts() + TMapBridge::Texts() +
           TSnapshotActions::Texts() + QStringList{TMapOfflineNotice::Text()} +
           TfrmDebugMemo::Texts() + TfrmCustomCMD::Texts() + TFenceFileActions::Texts() +
           OutcomeCountTexts() + TParamCatalogue::Texts() + TProfile::Texts() + ShownValueTexts() +
           TFenceFileActions::ExchangeTexts() + TMbTilesHandler::Texts() +
           TSnapshotValues::Texts() + TWindowRecords::Texts() + OutcomeNoteTexts() +
           TFieldStates::FaultTexts() + TRecordsHistoryDialog::TipTexts() +
           TOperationStrip::Texts() + TSnapshotActions::OperationTexts() +
           TFieldStates::ResetTexts() + OutcomeWriteTexts() + TSnapshotActions::RetryTexts() +
           TFieldStates::UnreadTexts();
}

void TFrmMain::ApplyAddedTexts() {
    for (const QString& text : AddedTexts()) {
        TranslateText(text);
    }
    FStrip->ApplyTexts();
    FSnapshots->ApplyTexts();
    GetDebugMemo().ApplyToolTips();
    FFenceFiles->ApplyTexts();
    FRecords->ApplyTexts();
}

void TFrmMain::ApplyCaptions(std::initializer_list<TCaption> captions) {
    for (const TCaption& caption : captions) {
        const QString text = TranslateText(QString::fromUtf8(caption.text));
        if (caption.control != nullptr) {
            SetCaption(caption.control, text);
        }
    }
}

void TFrmMain::SetCaption(QWidget* control, const QString& text) {
    if (const int tab = ui->pgCtrl->indexOf(control); tab >= 0) {
        ui->pgCtrl->setTabText(tab, text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        group->setTitle(text);
    }
}

// Adds "english" when the locale folder had no language at start; the search ignores case.
// The master file has just been written; an installed program's list may hold only shipped
// languages before that, and the master one goes in front of them.
void TFrmMain::SelectConfiguredLanguage(const QString& language) {
    if (ui->cbLanguage->count() == 0 ||
        (AppMode() == TAppMode::Installed &&
         ui->cbLanguage->findText(kDefaultLanguage, Qt::MatchFixedString) < 0)) {
        ui->cbLanguage->insertItem(0, kDefaultLanguage);
    }
    ui->cbLanguage->setCurrentIndex(ui->cbLanguage->findText(language, Qt::MatchFixedString));
}

void TFrmMain::SelectFirstPort() {
    if (ui->cboCOMIndex->count() > 0) {
        ui->cboCOMIndex->setCurrentIndex(0);
    }
}

void TFrmMain::AssignKeyFilters() {
    const std::vector<std::pair<TKeyFilter*, std::vector<QWidget*>>> filters = {
        {FPhoneNumberKeys,
         {ui->txtCenterNumber, ui->edtVIP_1, ui->edtVIP_2, ui->edtVIP_3, ui->edtVIP_4,
          ui->edtVIP_5}},
        {FSignedIntegerKeys, {ui->txtPort, ui->txtTimeDifferent, ui->txtRadius}},
        {FCoordinateKeys,
         {ui->txtGeofenceLTLatitude, ui->txtGeofenceLTLongitude, ui->txtGeofenceRBLatitude,
          ui->txtGeofenceRBLongitude, ui->ed_MapLat, ui->ed_MapLng}},
        {FNameKeys, {ui->txtGeofenceName, ui->txtAlias}},
    };
    for (const auto& [filter, edits] : filters) {
        for (QWidget* edit : edits) {
            edit->installEventFilter(filter);
        }
    }
    InstallFieldGuards(*ui);
}

// The port and baud rate opened last, when the port is still there; start options come later
// and win.
void TFrmMain::SelectRememberedConnection() {
    TIniDocument settings;
    if (settings.LoadFromFile(SettingsFilePath())) {
        return; // already reported by the language step
    }
    const QString port = settings.Value(kConfigSection, kLastPortKey).value_or(QString());
    const int listed = ui->cboCOMIndex->findText(port);
    if (listed >= 0) {
        ui->cboCOMIndex->setCurrentIndex(listed);
    } else if (!port.isEmpty() && QFileInfo::exists(PortNameFromField(port))) {
        ui->cboCOMIndex->setEditText(port);
    }
    const QString baud = settings.Value(kConfigSection, kLastBaudKey).value_or(QString());
    if (!baud.isEmpty()) {
        ui->txtBAUD->setText(baud);
    }
}

void TFrmMain::RememberConnection() {
    TIniDocument settings;
    std::optional<QString> error = settings.LoadFromFile(SettingsFilePath());
    if (!error) {
        settings.WriteString(kConfigSection, kLastPortKey, ui->cboCOMIndex->currentText());
        settings.WriteString(kConfigSection, kLastBaudKey,
                             QString::number(BaudRateFromInt(ui->txtBAUD->text())));
        error = settings.SaveToFile(SettingsFilePath());
    }
    if (error) {
        FMessages.ShowMessage(*error, TranslateText(QStringLiteral("Error")), TMessageIcon::Error);
    }
}

void TFrmMain::RefreshPorts() {
    const QStringList ports = FPortLister();
    QComboBox& list = *ui->cboCOMIndex;
    QStringList shown;
    for (int i = 0; i < list.count(); ++i) {
        shown.append(list.itemText(i));
    }
    if (ports == shown) {
        return;
    }
    const QString text = list.currentText();
    const int cursor = list.lineEdit()->cursorPosition();
    list.clear();
    list.addItems(ports);
    list.setCurrentIndex(list.findText(text));
    list.setEditText(text);
    list.lineEdit()->setCursorPosition(cursor);
}

void TFrmMain::NoteStartupError(const std::optional<QString>& error) {
    if (error) {
        FStartupErrors.append(*error);
    }
}

void TFrmMain::PresetPort(const QString& field) {
    ui->cboCOMIndex->setEditText(field);
}

void TFrmMain::PresetBaud(const QString& text) {
    ui->txtBAUD->setText(text);
}

// The technician's controls, shown by the gesture on "ID:".
void TFrmMain::lblIDMouseDown(const QMouseEvent& press) {
    const bool reveal = IsRevealGesture(press);
    ui->btnShowMsg->setVisible(reveal);
    ui->gbGPRS->setVisible(reveal);
    ui->pgCtrl->setTabVisible(ui->pgCtrl->indexOf(ui->tsAdvOperation), reveal);
}

// The tile host field, shown by the gesture on "Latitude" in a row of its own above the map,
// which gives up that much height meanwhile: the button that reloads the map stays usable.
void TFrmMain::lblMapLatMouseDown(const QMouseEvent& press) {
    const bool reveal = IsRevealGesture(press);
    ui->pnlMapBody->setGeometry(
        FMapBodyGeometry.adjusted(0, reveal ? ui->ed_googleurl->height() + kRowGap : 0, 0, 0));
    ui->ed_googleurl->setVisible(reveal);
}

bool TFrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        const auto& press = *static_cast<QMouseEvent*>(event);
        if (watched == ui->lblID) {
            lblIDMouseDown(press);
        } else if (watched == ui->lblMapLat) {
            lblMapLatMouseDown(press);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFrmMain::cbLanguageChange() {
    const QString language = ui->cbLanguage->currentText();
    LoadLanguage(language);
    TIniDocument settings;
    std::optional<QString> error = settings.LoadFromFile(SettingsFilePath());
    if (!error) {
        settings.WriteString(kConfigSection, kLanguageKey, language);
        error = settings.SaveToFile(SettingsFilePath());
    }
    if (error) {
        FMessages.ShowMessage(*error, TranslateText(QStringLiteral("Error")), TMessageIcon::Error);
    }
}

void TFrmMain::btn_SwitchClick() {
    if (FComPort->IsOpen()) {
        FEngine->AbortBatch(TBatchEnd::PortClosed);
    }
    FEngine->ClearQueue();
    ForgetDevice();
    try {
        if (FComPort->IsOpen()) {
            FComPort->Close();
            ShowPortClosed();
        } else {
            FComPort->SetPortName(PortNameFromField(ui->cboCOMIndex->currentText()));
            FComPort->SetBaudRate(BaudRateFromInt(ui->txtBAUD->text()));
            FComPort->Open();
            ui->cboCOMIndex->setEnabled(false);
            ui->txtBAUD->setEnabled(false);
            ui->btn_Switch->setText(TranslateText(QStringLiteral("Close[&O]")));
            RememberConnection();
            // The receive buffer was emptied by ClearQueue above; no bytes can have been
            // taken in since, as receive notifications wait for the event loop.
            SetDeviceButtons(true);
        }
    } catch (const TLinkError& error) {
        FMessages.ShowMessage(error.Text(), kPortErrorCaption, TMessageIcon::Error);
    }
}

void TFrmMain::ComPortAfterOpen() {
    ui->btn_Switch->setText(QStringLiteral("CLOSE(&C)"));
    SetSwitchColor(kSwitchOpenColor);
    ui->ComLed1->SetLit(true);
    DescribeConnectionLamp(*ui->ComLed1, true);
}

void TFrmMain::ComPortAfterClose() {
    ui->btn_Switch->setText(QStringLiteral("OPEN(&O)"));
    SetSwitchColor(kSwitchClosedColor);
    ui->ComLed1->SetLit(false);
    DescribeConnectionLamp(*ui->ComLed1, false);
}

// The device was unplugged: the port has closed itself; the window goes to the closed state
// as if Close had been pressed and says why, once.
void TFrmMain::ComPortLineLost(const QString& error) {
    FStrip->LogEvent("Line lost", error);
    FEngine->ClearQueue();
    ForgetDevice();
    ShowPortClosed();
    FMessages.ShowMessage(error, kPortErrorCaption, TMessageIcon::Error);
    // The loss is usually noticed inside a write, which fails right after this returns.
    // Set after the message box, whose own event loop would run the reset too early.
    FLineJustLost = true;
    QTimer::singleShot(0, this, [this] { FLineJustLost = false; });
}

void TFrmMain::ForgetDevice() {
    FEngine->AbortBatch(TBatchEnd::PortClosed); // nor does a late answer come on this line
    FReplies->ForgetDevice();
    FFieldStates->Forget();
    FSnapshots->ForgetDevice();
}

void TFrmMain::ShowPortClosed() {
    for (QWidget* field :
         {static_cast<QWidget*>(ui->cboCOMIndex), static_cast<QWidget*>(ui->txtBAUD),
          static_cast<QWidget*>(ui->lblComPort), static_cast<QWidget*>(ui->lblBaudRate)}) {
        field->setEnabled(true);
    }
    SetDeviceButtons(false);
    ui->btn_Switch->setText(TranslateText(QStringLiteral("Open[&O]")));
}

void TFrmMain::SetSwitchColor(const QColor& color) {
    SetTextColor(ui->btn_Switch, QPalette::ButtonText, color);
}

void TFrmMain::closeEvent(QCloseEvent* event) {
    if (FEngine->WritesPending() &&
        !FMessages.Confirm(TranslateText(QString::fromLatin1(kCloseWhileWritingText)),
                           windowTitle())) {
        event->ignore();
        return;
    }
    FEngine->HandOverSentLine();
    if (FComPort->IsOpen()) {
        try {
            FComPort->Close();
        } catch (const std::exception&) {
            // The window closes whatever the port says.
        }
        disconnect(FComPort.get(), &ICommPort::AfterClose, this, nullptr);
    }
    // The program ends with its main window, also while the debug log window is open.
    if (FDebugMemo) {
        FDebugMemo->close();
    }
    event->accept();
}

void TFrmMain::AddLog(const QString& line) {
    AppendDayLog(line);
    GetDebugMemo().AddLine(line);
    AppendTranscriptLine(*ui->mm_Recv, line);
}

void TFrmMain::AppendDayLog(const QString& line) {
    FSessionLog->Append(line);
    if (!FSessionLog->LastError().isEmpty()) {
        FStrip->NoteDayLogError(QDir::toNativeSeparators(FSessionLog->CurrentPath()),
                                FSessionLog->LastError());
    }
}

TfrmDebugMemo& TFrmMain::GetDebugMemo() {
    if (!FDebugMemo) {
        FDebugMemo = std::make_unique<TfrmDebugMemo>();
    }
    return *FDebugMemo;
}

void TFrmMain::btnShowMsgClick() {
    GetDebugMemo().ShowAndRaise();
}

void TFrmMain::ShowProgress(int total, int count) {
    ui->rgbBar->setMaximum(qMax(total, 1));
    ui->rgbBar->setValue(count);
}

// The device-operation buttons can only be enabled while the port is open: a time-out or a
// write to a closed port ends the busy state, and must not offer device operations then.
void TFrmMain::SetDeviceButtons(bool enabled) {
    const bool usable = enabled && FComPort->IsOpen();
    for (QWidget* button : std::initializer_list<QWidget*>{
             ui->btn_GeoDisable, ui->sbT01, ui->btnCenterNumberRead, ui->btnCenterNumberSet,
             ui->btnGprsSet, ui->btnGprsRead, ui->btnVolumeSet, ui->btnVolumeRead,
             ui->btnWorkModeRead, ui->btnWorkModeSet, ui->btn_SelfGeoSet, ui->btn_GeoRead,
             ui->btnVipCfgRead, ui->btnVipCfgSet, ui->btnReadAll, ui->btnWriteAll, ui->btnDefault,
             ui->btn_GeoEdit, ui->btn_GeoSetAll}) {
        button->setEnabled(usable);
    }
    if (FSnapshots) {
        FSnapshots->SetDeviceButtons(usable);
    }
    if (FStrip) {
        FStrip->UpdateButtons();
    }
}

void TFrmMain::HandleReply(const QByteArray& reply) {
    FReplies->HandleReply(reply);
}

QString TFrmMain::TranslateText(const QString& text) {
    return ::TranslateText(text);
}

void TFrmMain::btnLoadMapClick() {
    FMapBridge->LoadMapPage();
}
