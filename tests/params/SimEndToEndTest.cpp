// The parameter layer against the simulated device over a pseudo-terminal: whole batches,
// every reply applied, every written value read back.
#include "FakeCommPort.h"
#include "MessageRecorder.h"
#include "uAppPaths.h"
#include "uEngineHost.h"
#include "uExchangeEngine.h"
#include "uFrmMain.h"
#include "uLanguage.h"
#include "uLedDisplay.h"
#include "uParamControls.h"
#include "uParamGroups.h"
#include "uQtSerialPort.h"
#include "uReplyHandler.h"
#include "uSegmentMeter.h"
#include "uSimPty.h"
#include "uUploadSchedule.h"
#include "ui_uFrmMain.h"

#include <QCheckBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Hands the engine's replies to the reply handler; the window around it is not involved.
class TRoutingHost : public IEngineHost {
public:
    void AddLog(const QString&) override {}
    void ShowProgress(int, int) override {}
    void SetDeviceButtons(bool) override {}
    void HandleReply(const QByteArray& reply) override { Replies->HandleReply(reply); }
    QString TranslateText(const QString& text) override { return ::TranslateText(text); }

    TReplyHandler* Replies = nullptr;
};

class SimEndToEndTest : public ::testing::Test {
protected:
    SimEndToEndTest() {
        SetAppDirOverride(FDir.path());
        ResetLanguageState();
        QString error;
        EXPECT_TRUE(Device.Start(&error)) << error.toStdString();
        Line.SetPortName(Device.SlavePath());
        Line.SetBaudRate(115200);
        Line.Open();
        Engine.SetTimingForTests(1000, 0);
        Host.Replies = &Replies;
    }
    ~SimEndToEndTest() override {
        Line.Close();
        Device.Stop();
        SetAppDirOverride(QString());
        ResetLanguageState();
    }

    Ui::TFrmMain& Ui() { return Window.Controls(); }

    void Run(void (TParamGroups::*operation)()) {
        (Groups.*operation)();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Engine.IsBusy(); }, 20'000));
        EXPECT_EQ(Engine.QueueLength(), 0);
    }
    void Select(QRadioButton* button, void (TUploadSchedule::*reaction)()) {
        button->setChecked(true);
        (Schedule.*reaction)();
    }

    // Every control Read All fills, against the device's stored values.
    void ExpectControlsShow(const TDeviceSim& device) {
        const auto value = [&](int number, int index = 0) {
            return QString::fromLatin1(device.Values(number).value(index));
        };
        EXPECT_EQ(Ui().RzMeter_LED->Text(), QString::fromLatin1(device.Id()));
        EXPECT_EQ(Ui().lblVersion->text(), QString::fromLatin1(device.Version()));
        EXPECT_EQ(Ui().txtCenterNumber->text(), value(3));
        EXPECT_EQ(Ui().txtAlias->text(), value(17));
        EXPECT_EQ(Ui().cboBatteryAlert->currentText(), value(10));
        EXPECT_EQ(Ui().txtTimeDifferent->text(), value(12));
        EXPECT_EQ(Ui().CBox_Main_01->isChecked(), value(6) == "1");
        EXPECT_EQ(Ui().CBox_Main_02->isChecked(), value(25) == "1");
        EXPECT_EQ(Ui().CBox_Main_03->isChecked(), value(34) == "1");
        const QLineEdit* gprs[] = {Ui().txtIPAddress, Ui().txtPort, Ui().txtAPN,
                                   Ui().txtAPNUsername, Ui().txtAPNPassword};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(gprs[i]->text(), value(5, i)) << i;
        }
        EXPECT_EQ(Schedule.SelectedMode(), value(7).toInt());
        EXPECT_EQ(Ui().CBox_UploadingInterval->currentText(), value(4, 0));
        EXPECT_EQ(Ui().cbUpLoadMode->currentIndex(), value(4, 2).toInt());
        if (Schedule.FixedTimeSelected()) {
            QString minutes;
            for (const int minute : device.TimePoints()) {
                minutes += QLatin1Char(',') + QString::number(minute);
            }
            EXPECT_EQ(Schedule.CollectTimePoints().Args, minutes);
        }
        EXPECT_EQ(Replies.VolumeLevel(), device.Volume());
        EXPECT_EQ(Ui().RCox_KeepAlive->isChecked(), device.KeepAlive() > 30);
        EXPECT_EQ(Ui().txtGSensorParam->text(), value(31));
        const TVipEdits edits = VipEdits(Ui());
        const TAlarmGrid grid = AlarmGrid(Ui());
        for (int k = 1; k <= kVipRows; ++k) {
            EXPECT_EQ(edits[k - 1]->text(), QString::fromLatin1(device.VipNumber(k))) << k;
            const auto flags = device.VipFlags(k);
            for (int column = 0; column < kAlarmColumns; ++column) {
                EXPECT_EQ(grid[k - 1][column]->isChecked(), flags[column]) << k << column;
            }
        }
    }

    QTemporaryDir FDir;
    TSimPty Device{TSimOptions{}};
    TMessageRecorder Messages;
    TFrmMain Window{Messages, [] { return std::make_unique<TFakeCommPort>(); }};
    TQtSerialPort Line;
    TRoutingHost Host;
    TExchangeEngine Engine{Line, Host};
    TGeoFenceList Fences{};
    TUploadSchedule Schedule{Ui()};
    TReplyHandler Replies{Ui(), Engine, Schedule, Fences, nullptr};
    TParamGroups Groups{Ui(), Engine, Messages, Replies, Schedule};
};

TEST_F(SimEndToEndTest, ReadAllFillsEveryControlWithTheDevicesValues) {
    Ui().txtIPAddress->clear();
    Ui().edtVIP_2->setText("junk");
    Run(&TParamGroups::btnReadAllClick);
    ExpectControlsShow(Device.Snapshot());
    EXPECT_EQ(Ui().lblAnotherName->text(),
              QString::fromLatin1(Device.Snapshot().Values(17).value(0)));
    EXPECT_TRUE(Messages.Messages.isEmpty()); // the window's strip tells the end, not replies
}

TEST_F(SimEndToEndTest, WrittenValuesComeBackAfterANewSessionAndFactoryDefaultRestoresThem) {
    Ui().txtCenterNumber->setText("+4412345");
    Ui().txtAlias->setText("Unit 9");
    Ui().cboBatteryAlert->setEditText("30");
    Ui().txtTimeDifferent->setText("120");
    Ui().CBox_Main_01->setChecked(true);
    Ui().CBox_Main_02->setChecked(true);
    Ui().CBox_Main_03->setChecked(true);
    Ui().txtIPAddress->setText("10.2.3.4");
    Ui().txtPort->setText("7001");
    Ui().txtAPN->setText("apn.x");
    Ui().txtAPNUsername->setText("usr");
    Ui().txtAPNPassword->setText("pwd");
    Ui().cbUpLoadMode->setCurrentIndex(1);
    Select(Ui().RBtn_Main_03, &TUploadSchedule::RBtn_Main_03Click);
    for (const char* label : {"lbl_Main_000", "lbl_Main_085", "lbl_Main_235"}) {
        Schedule.MarkTimeLabel(label);
    }
    Ui().CBox_UploadingInterval->setEditText("60");
    Ui().Cbox_UploadingTimes->setCurrentIndex(2);
    const TVipEdits edits = VipEdits(Ui());
    for (int k = 1; k <= kVipRows; ++k) {
        edits[k - 1]->setText(QStringLiteral("+100%1").arg(k));
    }
    const TAlarmGrid grid = AlarmGrid(Ui());
    for (int k = 0; k < kVipRows; ++k) {
        for (int column = 0; column < kAlarmColumns; ++column) {
            grid[k][column]->setChecked((k + column) % 2 == 0);
        }
    }
    Ui().RCox_KeepAlive->setChecked(true);
    Ui().RzSpinEdit_KeepAlive->setValue(900);
    Ui().txtGSensorParam->setText("800");
    Run(&TParamGroups::btnWriteAllClick);
    const TDeviceSim written = Device.Snapshot();
    EXPECT_EQ(written.TimePoints(), QList<int>({1, 510, 1410}));
    EXPECT_EQ(written.KeepAlive(), 900);
    EXPECT_EQ(written.VipNumber(5), "+1005");

    Line.Close();
    Line.Open();
    Select(Ui().RBtn_Main_01, &TUploadSchedule::RBtn_Main_01Click);
    for (QLineEdit* edit : Ui().tsMain->findChildren<QLineEdit*>()) {
        edit->setText("x");
    }
    Groups.CBox_CheckAllClick();
    Run(&TParamGroups::btnReadAllClick);
    ExpectControlsShow(written);
    EXPECT_EQ(Ui().txtCenterNumber->text(), "+4412345");
    EXPECT_EQ(Ui().RzSpinEdit_KeepAlive->value(), 900);

    Run(&TParamGroups::btnDefaultClick);
    Run(&TParamGroups::btnReadAllClick);
    TDeviceSim factory;
    factory.SetId(written.Id());
    ExpectControlsShow(factory);
    EXPECT_EQ(Ui().txtCenterNumber->text(), "");
}

} // namespace
