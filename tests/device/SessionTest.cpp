// The device session on the real serial line against the simulated device on a pseudo-terminal.
#include "uDeviceSession.h"
#include "uExchangeEngine.h"
#include "uParamCatalogue.h"
#include "uQtSerialPort.h"
#include "uSessionHost.h"
#include "uSimPty.h"
#include "uSimSnapshot.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

namespace {

const QByteArray kReference = "[Device]\r\nID=4711\r\nFirmware=V2.3.1\r\n[Params]\r\n"
                              "P03=+8613800138000\r\n"
                              "P04=60,10,1\r\n"
                              "P05=10.0.0.1,9000,CMNET,,\r\n"
                              "P07=2\r\n"
                              "P21=2,480,1020\r\n"
                              "P11.3=3,13900000003\r\n"
                              "P22.1=1,1,0,1,0\r\n"
                              "P14=5\r\n"
                              "P09=250\r\n"
                              "P08.5=5,11354.0000,2230.0000,11406.0000,2224.0000,HOME\r\n";

TSnapshot Reference() {
    TSnapshot snapshot;
    EXPECT_EQ(snapshot.Parse(kReference), std::nullopt);
    return snapshot;
}

class SessionTest : public ::testing::Test {
protected:
    void Connect(TSimOptions options) {
        Sim = std::make_unique<TSimPty>(options);
        QString error;
        ASSERT_TRUE(Sim->Start(&error)) << error.toStdString();
        Port.SetPortName(Sim->SlavePath());
        Port.Open();
        Host.SetEngine(&Engine);
        // Short ticks so a silent device is given up quickly; the logic is the shipped one.
        Engine.SetTimingForTests(60, 2);
    }

    void Wait() {
        const QDeadlineTimer deadline(30'000);
        while (Session.Running() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        }
        ASSERT_FALSE(Session.Running()) << "the session got stuck";
    }

    const TParamCheck& Check(const QString& key) const {
        for (const TParamCheck& check : Session.Report().Params) {
            if (check.Key == key) {
                return check;
            }
        }
        ADD_FAILURE() << "no " << key.toStdString();
        static const TParamCheck none;
        return none;
    }

    std::unique_ptr<TSimPty> Sim;
    TQtSerialPort Port;
    TSessionHost Host;
    TExchangeEngine Engine{Port, Host};
    TDeviceSession Session{Engine};
};

} // namespace

TEST_F(SessionTest, BackupReadsEverySettingOfADeviceStartedFromASnapshot) {
    TSimOptions options;
    SimOptionsFromSnapshot(Reference(), options);
    options.unsolicitedStatusSecs = 1;
    Connect(options);
    Session.Backup();
    Wait();
    ASSERT_EQ(Session.Report().Result, TDeviceResult::Confirmed)
        << Session.Report().Error.toStdString();
    const TSnapshot& backup = Session.Result();
    EXPECT_EQ(backup.DeviceValue("ID"), "4711");
    EXPECT_EQ(backup.DeviceValue("Firmware"), "V2.3.1");
    EXPECT_FALSE(backup.DeviceValue("Saved").isEmpty());
    EXPECT_EQ(backup.Params().size(), 24 + 64); // every writable parameter but the radius
    for (const auto& [key, value] : Reference().Params()) {
        if (key != "P09") {
            EXPECT_EQ(backup.Param(key), value) << key.toStdString();
        }
    }
    EXPECT_EQ(backup.Param("P08.64"), "64,0,0,0,0,");
    TSnapshot reread;
    EXPECT_EQ(reread.Parse(backup.ToBytes()), std::nullopt);
}

TEST_F(SessionTest, RestoreWritesInOrderChecksEchoesAndReadsBack) {
    TSimOptions options;
    options.alterations.append(
        qMakePair(QByteArray("P03"), QByteArray("+86139"))); // the device keeps something else
    options.unsolicitedStatusSecs = 1;
    Connect(options);
    Session.Restore(Reference(), true);
    Wait();
    const TSessionReport& report = Session.Report();
    EXPECT_EQ(report.Result, TDeviceResult::Differs);
    EXPECT_EQ(report.Id, "0123456789");
    QStringList keys;
    for (const TParamCheck& check : report.Params) {
        keys.append(check.Key);
    }
    EXPECT_EQ(keys, (QStringList{"P03", "P05", "P04", "P07", "P21", "P11.3", "P22.1", "P14", "P09",
                                 "P08.5"}));
    EXPECT_EQ(Check("P03").State, TParamState::Differs);
    EXPECT_EQ(Check("P03").Device, "+86139");
    for (const QString& key : keys.mid(1)) {
        // The radius cannot be read back: its echo is all there is.
        EXPECT_EQ(Check(key).State, key == "P09" ? TParamState::Echoed : TParamState::Confirmed)
            << key.toStdString();
        EXPECT_EQ(Check(key).Device, Check(key).Sent) << key.toStdString();
    }
    const TDeviceSim device = Sim->Snapshot();
    EXPECT_EQ(device.Values(9), QByteArrayList{"250"});
    EXPECT_EQ(device.TimePoints(), (QList<int>{480, 1020}));
}

TEST_F(SessionTest, VerifyComparesWithoutWriting) {
    Connect(TSimOptions{});
    Session.Verify(Reference());
    Wait();
    EXPECT_EQ(Session.Report().Result, TDeviceResult::Differs);
    EXPECT_EQ(Check("P07").State, TParamState::Differs);
    EXPECT_EQ(Check("P07").Device, "1");
    EXPECT_EQ(Check("P22.1").State, TParamState::Differs);
    EXPECT_EQ(Session.Report().Params.size(), 9); // the radius cannot be read
    EXPECT_EQ(Sim->Snapshot().Values(7), QByteArrayList{"1"});
}

TEST_F(SessionTest, ASilentDeviceIsAskedThreeTimesThenReported) {
    TSimOptions options;
    options.dropEvery = 1;
    Connect(options);
    QStringList steps;
    QObject::connect(&Session, &TDeviceSession::Step, [&](const QString& s) { steps.append(s); });
    Session.Verify(Reference());
    Wait();
    EXPECT_EQ(Session.Report().Result, TDeviceResult::NoAnswer);
    EXPECT_EQ(Session.Report().Error, "no answer to (P03,0)");
    EXPECT_EQ(Sim->Snapshot().Answered(), 3);
    EXPECT_EQ(steps.filter("sending it again").size(), 2);
    EXPECT_EQ(Check("P03").State, TParamState::NoAnswer);
    EXPECT_EQ(Check("P04").State, TParamState::NotSent);
}

TEST_F(SessionTest, AHangUpIsALineError) {
    TSimOptions options;
    options.hangupAfter = 4;
    Connect(options);
    Session.Restore(Reference(), false);
    Wait();
    EXPECT_EQ(Session.Report().Result, TDeviceResult::LineError);
    EXPECT_EQ(Check("P07").State, TParamState::Echoed); // written, not read back
    // Lost before or after its write left: never answered either way.
    EXPECT_TRUE(Check("P21").State == TParamState::NoAnswer ||
                Check("P21").State == TParamState::NotSent);
    EXPECT_EQ(Check("P11.3").State, TParamState::NotSent);
}

TEST_F(SessionTest, AnInterruptedRestoreFinishesTheWriteInFlightAndSendsNothingMore) {
    TSimOptions options;
    options.delayMs = 40;
    Connect(options);
    Session.Restore(Reference(), true);
    QObject::connect(&Engine, &TExchangeEngine::CommandAnswered, &Session,
                     [&](const TCmdAnswer& answer) {
                         if (answer.Cmd.ParamNo == 5) {
                             Session.Interrupt();
                         }
                     });
    Wait();
    EXPECT_EQ(Session.Report().Result, TDeviceResult::Interrupted);
    EXPECT_EQ(Check("P03").State, TParamState::Echoed);
    EXPECT_EQ(Check("P05").State, TParamState::Echoed);
    EXPECT_EQ(Check("P04").State, TParamState::NotSent);
    EXPECT_EQ(Session.Report().Count(TParamState::NotSent), 8);
    EXPECT_EQ(Sim->Snapshot().Answered(), 2);
}
