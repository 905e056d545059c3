#include "uCliDevice.h"

#include "uExchangeEngine.h"
#include "uLinkError.h"
#include "uPortList.h"
#include "uQtSerialPort.h"
#include "uSessionHost.h"

TCliDevice::TCliDevice(QString port, int baud, TJob job, TSnapshot snapshot, bool readBack)
    : FPortText(std::move(port)), FBaud(baud), FJob(job), FSnapshot(std::move(snapshot)),
      FReadBack(readBack) {}

TCliDevice::TCliDevice(QString port, int baud, TProvisionPlan plan)
    : FPortText(std::move(port)), FBaud(baud), FJob(TJob::Restore), FReadBack(plan.ReadBack),
      FPlan(std::move(plan)) {}

TCliDevice::~TCliDevice() = default;

// Runs on the device's thread once its event loop has ended: the line can fail inside the
// engine's pause between commands, with the engine and the port still on the stack, so
// nothing goes before the stack is clear. The session and the engine go before the port.
void TCliDevice::Release() {
    FProvision.reset();
    FSession.reset();
    FEngine.reset();
    FPort.reset();
}

void TCliDevice::Interrupt() {
    if (FProvision) {
        FProvision->Interrupt(); // also between its sessions
    } else if (FSession && FSession->Running()) {
        FSession->Interrupt();
    }
}

void TCliDevice::Unplug() {
    if (FProvision) {
        FProvision->Unplug();
    }
}

void TCliDevice::Run() {
    FStarted = QDateTime::currentDateTimeUtc();
    FClock.start();
    FPort = std::make_unique<TQtSerialPort>();
    // Before the engine's own handler, which ends the session.
    connect(FPort.get(), &ICommPort::LineLost, this,
            [this](const QString& error) { FLineError = error; });
    FHost = std::make_unique<TSessionHost>();
    FEngine = std::make_unique<TExchangeEngine>(*FPort, *FHost);
    FHost->SetEngine(FEngine.get());
    FSession = std::make_unique<TDeviceSession>(*FEngine);
    const auto progress = [this](const QString& text) { Q_EMIT Progress(FPortText, text); };
    if (FPlan) {
        FProvision = std::make_unique<TProvisionJob>(*FSession, *FEngine, *FPlan, FPortText);
        connect(FProvision.get(), &TProvisionJob::Step, this, progress);
        connect(FProvision.get(), &TProvisionJob::Finished, this, &TCliDevice::Finish);
    } else {
        connect(FSession.get(), &TDeviceSession::Step, this, progress);
        connect(FSession.get(), &TDeviceSession::Finished, this, &TCliDevice::Finish);
    }

    FPort->SetPortName(PortNameFromField(FPortText));
    FPort->SetBaudRate(FBaud);
    try {
        FPort->Open();
    } catch (const TLinkError& error) {
        FReport.Result = TDeviceResult::LineError;
        FReport.Error = error.Text();
        if (FPlan) {
            FOutcome = TProvisionOutcome{};
            FOutcome->Result = TProvisionResult::LineError;
            FOutcome->Error = error.Text();
        }
        Q_EMIT Progress(FPortText, error.Text());
        FElapsedMs = FClock.elapsed();
        Q_EMIT Done();
        return;
    }
    FOpened = true;
    if (FProvision) {
        FProvision->Start();
        return;
    }
    switch (FJob) {
    case TJob::Backup:
        FSession->Backup();
        break;
    case TJob::Restore:
        FSession->Restore(FSnapshot, FReadBack);
        break;
    case TJob::Verify:
        FSession->Verify(FSnapshot);
        break;
    }
}

void TCliDevice::Finish() {
    FReport = FProvision ? FProvision->Outcome().Report : FSession->Report();
    // The session names the command in flight, the line its own error.
    if (FReport.Result == TDeviceResult::LineError && !FLineError.isEmpty()) {
        FReport.Error = QStringLiteral("%1: %2").arg(FReport.Error, FLineError);
    }
    if (FProvision) {
        FOutcome = FProvision->Outcome();
        if (FOutcome->Result == TProvisionResult::Unplugged && !FLineError.isEmpty()) {
            FOutcome->Error = FLineError;
        }
    }
    FBackup = FSession->Result();
    FPort->Close();
    FElapsedMs = FClock.elapsed();
    Q_EMIT Done();
}
