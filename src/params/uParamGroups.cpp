#include "uParamGroups.h"

#include "uExchangeEngine.h"
#include "uLanguage.h"
#include "uMessageService.h"
#include "uNumbers.h"
#include "uParamCatalogue.h"
#include "uParamControls.h"
#include "uReplyHandler.h"
#include "uUploadSchedule.h"
#include "uUtils.h"
#include "ui_uFrmMain.h"

#include <QGuiApplication>
#include <algorithm>

namespace {

constexpr int kStatus = 1; // T01 status report, P01 firmware version
constexpr int kMaxVolume = 6;
constexpr int kMinBatteryAlert = 10;

const char* const kStatusQueryText = "Status query";
const char* const kVolumeText = "Volume";
const char* const kIntervalNotANumber = "The interval must be a whole number of seconds.";
const char* const kTimesNotANumber = "The number of uploads must be a whole number.";
const char* const kFactoryDefaultQuestion = "Restore the factory defaults of the device %1?";

QString Trimmed(const QLineEdit* edit) {
    return edit->text().trimmed();
}

QString Tr(const char* text) {
    return TranslateText(QString::fromLatin1(text));
}

} // namespace

TParamGroups::TParamGroups(Ui::TFrmMain& ui, TExchangeEngine& engine, IMessageService& messages,
                           TReplyHandler& replies, TUploadSchedule& schedule)
    : FUi(ui), FEngine(engine), FMessages(messages), FReplies(replies), FSchedule(schedule) {}

bool TParamGroups::IsPhoneNumber(const QString& text) {
    const QStringView digits =
        text.startsWith(QLatin1Char('+')) ? QStringView(text).mid(1) : QStringView(text);
    return std::all_of(digits.begin(), digits.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

void TParamGroups::Read(std::initializer_list<int> numbers) {
    for (const int number : numbers) {
        FEngine.AddCmd(number, kCmdRead, QString(), kCmdParam);
    }
}

QStringList TParamGroups::Texts() {
    return Latin1Texts({kStatusQueryText, kVolumeText, kFactoryDefaultQuestion, kIntervalNotANumber,
                        kTimesNotANumber});
}

QString TParamGroups::GroupLabel(const QString& group, const QAbstractButton* button) {
    return QStringLiteral("%1: %2").arg(BatchLabel(group), BatchLabel(button->text()));
}

// A command that cannot be written (the line failed, or a pasted text made it too long for a
// frame) ends the batch with the link's message instead of leaving it half started.
void TParamGroups::Start(const QString& label) {
    if (const auto error = FEngine.StartBatch(label)) {
        FMessages.ShowMessage(*error, QStringLiteral("ERROR"), TMessageIcon::Error);
    }
}

void TParamGroups::RunReads(const QString& label, std::initializer_list<int> numbers) {
    FEngine.ClearQueue();
    Read(numbers);
    Start(label);
}

void TParamGroups::Add(const TCmdList& cmds) {
    for (const TCmdItem& cmd : cmds) {
        FEngine.AddCmd(cmd.ParamNo, cmd.RW, cmd.Args, cmd.Kind);
    }
}

void TParamGroups::Write(TCmdList& cmds, int number, const QString& args) {
    cmds.push_back(TCmdItem{number, kCmdWrite, args, kCmdParam});
}

void TParamGroups::WriteSwitch(TCmdList& cmds, int number, bool on) {
    Write(cmds, number, on ? QStringLiteral(",1") : QStringLiteral(",0"));
}

void TParamGroups::sbT01Click() {
    FEngine.ClearQueue();
    FEngine.AddCmd(kStatus, kCmdRead, QString(), kCmdParam);
    FEngine.AddCmd(kStatus, kCmdRead, QString(), kCmdStatus);
    Start(Tr(kStatusQueryText));
}

void TParamGroups::btnCenterNumberReadClick() {
    RunReads(GroupLabel(FUi.gbBasicInfo->title(), FUi.btnCenterNumberRead),
             {3, 17, 10, 12, 6, 25, 31, 34});
}

void TParamGroups::btnCenterNumberSetClick() {
    FEngine.ClearQueue();
    TCmdList cmds;
    if (!EnqueueCenterNumberAndAlias(cmds) || !CheckBatteryAlert()) {
        FEngine.ClearQueue();
        return;
    }
    EnqueueBatteryTimeAndCalls(cmds);
    EnqueueGSensorAndHistory(cmds);
    Add(cmds);
    Start(GroupLabel(FUi.gbBasicInfo->title(), FUi.btnCenterNumberSet));
}

void TParamGroups::btnGprsReadClick() {
    RunReads(GroupLabel(FUi.gbGPRS->title(), FUi.btnGprsRead), {5});
}

void TParamGroups::btnGprsSetClick() {
    FEngine.ClearQueue();
    TCmdList cmds;
    EnqueueGprs(cmds);
    Add(cmds);
    Start(GroupLabel(FUi.gbGPRS->title(), FUi.btnGprsSet));
}

void TParamGroups::btnWorkModeReadClick() {
    RunReads(GroupLabel(FUi.gbDataUploading->title(), FUi.btnWorkModeRead), {7, 4, 21, 18});
}

void TParamGroups::btnWorkModeSetClick() {
    FEngine.ClearQueue();
    const auto counts = ReadUploadCounts();
    if (!counts) {
        return;
    }
    TCmdList cmds;
    EnqueueUploading(cmds, *counts);
    EnqueueKeepAlive(cmds);
    Add(cmds);
    Start(GroupLabel(FUi.gbDataUploading->title(), FUi.btnWorkModeSet));
}

QString TParamGroups::VipLabel(const QAbstractButton* button) const {
    return GroupLabel(FUi.pgCtrl->tabText(FUi.pgCtrl->indexOf(FUi.tsAuthorization)), button);
}

void TParamGroups::btnVipCfgReadClick() {
    FEngine.ClearQueue();
    EnqueueVipReads();
    Start(VipLabel(FUi.btnVipCfgRead));
}

// Does not clear the queue first: the commands are added to whatever it holds.
void TParamGroups::btnVipCfgSetClick() {
    TCmdList cmds;
    EnqueueVipWrites(cmds);
    Add(cmds);
    Start(VipLabel(FUi.btnVipCfgSet));
}

void TParamGroups::CBox_CheckAllClick() {
    const bool all = FUi.CBox_CheckAll->isChecked();
    for (const auto& row : AlarmGrid(FUi)) {
        for (QCheckBox* box : row) {
            box->setChecked(all);
        }
    }
}

void TParamGroups::btnVolumeReadClick() {
    RunReads(GroupLabel(Tr(kVolumeText), FUi.btnVolumeRead), {14});
}

void TParamGroups::btnVolumeSetClick() {
    FEngine.ClearQueue();
    Add({VolumeCommand()});
    Start(GroupLabel(Tr(kVolumeText), FUi.btnVolumeSet));
}

TCmdItem TParamGroups::VolumeCommand() const {
    return TCmdItem{14, kCmdWrite, QStringLiteral(",%1").arg(FReplies.VolumeLevel()), kCmdParam};
}

void TParamGroups::btnVolumeAddClick() {
    ChangeVolume(1);
}

void TParamGroups::btnVolumeDecClick() {
    ChangeVolume(-1);
}

void TParamGroups::ChangeVolume(int step) {
    FReplies.SetVolumeLevel(std::clamp(FReplies.VolumeLevel() + step, 0, kMaxVolume));
}

// A batch of its own, so that its echo is checked and the strip says how it went: the device
// does not report the radius when read.
void TParamGroups::btn_SelfGeoSetClick() {
    const auto radius = RadiusCommand();
    if (!radius) {
        return;
    }
    FEngine.ClearQueue();
    Add({*radius});
    Start(GroupLabel(FUi.gbFenceCircle->title(), FUi.btn_SelfGeoSet));
}

std::optional<TCmdItem> TParamGroups::RadiusCommand() const {
    const auto radius = TextToInt(Trimmed(FUi.txtRadius));
    if (!radius) {
        return std::nullopt;
    }
    return TCmdItem{9, kCmdWrite, QStringLiteral(",%1").arg(*radius), kCmdParam};
}

void TParamGroups::btnReadAllClick() {
    FEngine.ClearQueue();
    Add(TParamCatalogue::ReadAllCommands());
    Start(BatchLabel(FUi.btnReadAll->text()));
}

void TParamGroups::btnWriteAllClick() {
    FEngine.ClearQueue();
    const auto cmds = WriteAllCommands();
    if (!cmds) {
        // An aborted write leaves nothing behind for a later operation to send.
        FEngine.ClearQueue();
        return;
    }
    Add(*cmds);
    Start(BatchLabel(FUi.btnWriteAll->text()));
}

std::optional<TParamGroups::TCmdList> TParamGroups::WriteAllCommands() {
    TCmdList cmds;
    if (!EnqueueCenterNumberAndAlias(cmds) || !CheckBatteryAlert()) {
        return std::nullopt;
    }
    EnqueueBatteryTimeAndCalls(cmds);
    EnqueueGprs(cmds);
    const auto counts = ReadUploadCounts();
    if (!counts) {
        return std::nullopt;
    }
    EnqueueUploading(cmds, *counts);
    EnqueueVipWrites(cmds);
    EnqueueKeepAlive(cmds);
    EnqueueGSensorAndHistory(cmds);
    return cmds;
}

// Resets a customer's device: nothing is sent unless the user confirms.
void TParamGroups::btnDefaultClick() {
    const QString label = BatchLabel(FUi.btnDefault->text());
    if (!FMessages.Confirm(Tr(kFactoryDefaultQuestion).arg(FUi.RzMeter_LED->Text()), label)) {
        return;
    }
    FEngine.ClearQueue();
    FEngine.AddCmd(20, kCmdWrite, QString(), kCmdParam);
    Start(label);
}

bool TParamGroups::EnqueueCenterNumberAndAlias(TCmdList& cmds) {
    const QString number = Trimmed(FUi.txtCenterNumber);
    if (!IsPhoneNumber(number)) {
        FMessages.ShowMessage(TranslateText(QStringLiteral("Center number is error.")),
                              QGuiApplication::applicationDisplayName(), TMessageIcon::Information);
        return false;
    }
    Write(cmds, 3, QLatin1Char(',') + number);
    Write(cmds, 17, QLatin1Char(',') + Trimmed(FUi.txtAlias));
    return true;
}

bool TParamGroups::CheckBatteryAlert() {
    if (IntOr(FUi.cboBatteryAlert->currentText(), 0) >= kMinBatteryAlert) {
        return true;
    }
    FMessages.ShowMessage(
        TranslateText(QStringLiteral("Please Input The Low Battery Value More than 10!")),
        TranslateText(QStringLiteral("Error")), TMessageIcon::Error);
    return false;
}

void TParamGroups::EnqueueBatteryTimeAndCalls(TCmdList& cmds) {
    Write(cmds, 10, QLatin1Char(',') + FUi.cboBatteryAlert->currentText().trimmed());
    Write(cmds, 12, QLatin1Char(',') + Trimmed(FUi.txtTimeDifferent));
    WriteSwitch(cmds, 6, FUi.CBox_Main_01->isChecked());
    WriteSwitch(cmds, 25, FUi.CBox_Main_02->isChecked());
}

void TParamGroups::EnqueueGprs(TCmdList& cmds) {
    QString args;
    for (const QLineEdit* edit :
         {FUi.txtIPAddress, FUi.txtPort, FUi.txtAPN, FUi.txtAPNUsername, FUi.txtAPNPassword}) {
        args += QLatin1Char(',') + Trimmed(edit);
    }
    Write(cmds, 5, args);
}

void TParamGroups::EnqueueGSensorAndHistory(TCmdList& cmds) {
    Write(cmds, 31, QLatin1Char(',') + Trimmed(FUi.txtGSensorParam));
    WriteSwitch(cmds, 34, FUi.CBox_Main_03->isChecked());
}

// The first entry of the times list means "all the time", sent as 0. A text that is no number
// is refused with a message.
std::optional<TParamGroups::TUploadCounts> TParamGroups::ReadUploadCounts() const {
    const QComboBox& times = *FUi.Cbox_UploadingTimes;
    const bool allTheTime = times.count() > 0 && times.currentText() == times.itemText(0);
    const int count = allTheTime ? 0 : IntOr(times.currentText().trimmed(), -1);
    const auto interval = TextToInt(FUi.CBox_UploadingInterval->currentText().trimmed());
    if (!interval || count < 0) {
        FMessages.ShowMessage(Tr(!interval ? kIntervalNotANumber : kTimesNotANumber),
                              TranslateText(QStringLiteral("Error")), TMessageIcon::Error);
        return std::nullopt;
    }
    return TUploadCounts{*interval, count};
}

void TParamGroups::EnqueueUploading(TCmdList& cmds, const TUploadCounts& counts) {
    Write(cmds, 4,
          QStringLiteral(",%1,%2,%3")
              .arg(counts.Interval)
              .arg(counts.Times)
              .arg(FUi.cbUpLoadMode->currentIndex()));
    const int mode = FSchedule.SelectedMode();
    Write(cmds, 7, QStringLiteral(",%1").arg(mode));
    if (mode == 2) {
        const TRcdCheckWorkingTime points = FSchedule.CollectTimePoints();
        if (points.Count > 0) {
            Write(cmds, 21, QStringLiteral(",%1").arg(points.Count) + points.Args);
        }
    }
}

void TParamGroups::EnqueueKeepAlive(TCmdList& cmds) {
    Write(cmds, 18,
          FUi.RCox_KeepAlive->isChecked()
              ? QLatin1Char(',') + QString::number(FUi.RzSpinEdit_KeepAlive->value())
              : QStringLiteral(",0"));
}

void TParamGroups::EnqueueVipReads() {
    for (int k = 1; k <= kVipRows; ++k) {
        FEngine.AddCmd(11, kCmdRead, QStringLiteral(",%1").arg(k), kCmdParam);
        FEngine.AddCmd(22, kCmdRead, QStringLiteral(",%1").arg(k), kCmdParam);
    }
}

void TParamGroups::EnqueueVipWrites(TCmdList& cmds) {
    for (const QLineEdit* edit : VipEdits(FUi)) {
        EnqueueVipNumber(cmds, *edit);
    }
    for (int k = 1; k <= kVipRows; ++k) {
        EnqueueVipAlarms(cmds, k);
    }
}

void TParamGroups::EnqueueVipNumber(TCmdList& cmds, const QLineEdit& edit) {
    const auto k = TextToInt(edit.objectName().right(1));
    if (!k) {
        return;
    }
    const QString number = Trimmed(&edit);
    if (!IsPhoneNumber(number)) {
        FMessages.ShowMessage(TranslateText(QString::asprintf("VIP number %d is error.", *k)),
                              QGuiApplication::applicationDisplayName(), TMessageIcon::Information);
        return;
    }
    Write(cmds, 11,
          QStringLiteral(",%1,").arg(*k) + (number.isEmpty() ? QStringLiteral("0") : number));
}

void TParamGroups::EnqueueVipAlarms(TCmdList& cmds, int k) {
    if (k < 1 || k > kVipRows) {
        return;
    }
    QString args = QStringLiteral(",%1").arg(k);
    const TAlarmGrid grid = AlarmGrid(FUi);
    for (const QCheckBox* box : grid[k - 1]) {
        args += box->isChecked() ? QStringLiteral(",1") : QStringLiteral(",0");
    }
    Write(cmds, 22, args);
}
