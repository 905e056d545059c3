#include "uCliDevice.h"

#include "uExchangeEngine.h"
#include "uLinkError.h"
#include "uPortList.h"
#include "uQtSerialPort.h"
#include "uSessionHost.h"

TCliDevice::TCliDevice(QString port, int baud, TJob job, TSnapshot snapshot, bool readBack)
    : FPortText(std::move(port)), FBaud(baud), FJob(job), FSnapshot(std::move(snapshot)),
      FReadBack(readBack) {}

TCliDevice::~TCliDevice() {
    Release();
}

// On the device's thread, where they were made; the session and the engine go before the port
// they use.
void TCliDevice::Release() {
    FSession.reset();
    FEngine.reset();
    FHost.reset();
    FPort.reset();
}

void TCliDevice::Run() {
    FPort = std::make_unique<TQtSerialPort>();
    FHost = std::make_unique<TSessionHost>();
    FEngine = std::make_unique<TExchangeEngine>(*FPort, *FHost);
    FHost->SetEngine(FEngine.get());
    FSession = std::make_unique<TDeviceSession>(*FEngine);
    connect(FSession.get(), &TDeviceSession::Step, this,
            [this](const QString& text) { Q_EMIT Progress(FPortText, text); });
    connect(FSession.get(), &TDeviceSession::Finished, this, &TCliDevice::Finish);
    connect(FPort.get(), &ICommPort::LineLost, this,
            [this](const QString& error) { FLineError = error; });

    FPort->SetPortName(PortNameFromField(FPortText));
    FPort->SetBaudRate(FBaud);
    try {
        FPort->Open();
    } catch (const TLinkError& error) {
        FReport.Result = TDeviceResult::LineError;
        FReport.Error = error.Text();
        Q_EMIT Progress(FPortText, QStringLiteral("cannot open the port: %1").arg(error.Text()));
        Release();
        Q_EMIT Done();
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
    FReport = FSession->Report();
    if (FReport.Result == TDeviceResult::LineError && !FLineError.isEmpty()) {
        FReport.Error = FLineError;
    }
    FBackup = FSession->Result();
    FPort->Close();
    // Not inside the session's own signal.
    QMetaObject::invokeMethod(
        this,
        [this] {
            Release();
            Q_EMIT Done();
        },
        Qt::QueuedConnection);
}
