#pragma once

#include "uDeviceSession.h"
#include "uProvisionJob.h"
#include "uSnapshot.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <memory>

class TExchangeEngine;
class TQtSerialPort;
class TSessionHost;

// One device of a tervo-cli run, living on a thread of its own with its own serial port and
// exchange engine, so that every device keeps the protocol's pacing whatever the others do.
// Everything it owns is created in Run, on its thread.
class TCliDevice : public QObject {
    Q_OBJECT
public:
    enum class TJob { Backup, Restore, Verify };

    TCliDevice(QString port, int baud, TJob job, TSnapshot snapshot, bool readBack);
    // A device that is first asked who it is and then given its row of a values file (or,
    // at a station, also checked for its signal): the job decides what is written.
    TCliDevice(QString port, int baud, TProvisionPlan plan);
    ~TCliDevice() override;

    QString Port() const { return FPortText; }
    // Valid once Done has been raised.
    const TSessionReport& Report() const { return FReport; }
    const TSnapshot& Backup() const { return FBackup; }
    // False when the port did not open: the progress line has said why.
    bool Opened() const { return FOpened; }
    // When the job started (UTC) and how long it took, once Done has been raised.
    const QDateTime& Started() const { return FStarted; }
    qint64 ElapsedMs() const { return FElapsedMs; }
    // With a plan: what the job did. Valid once Done has been raised.
    const std::optional<TProvisionOutcome>& Outcome() const { return FOutcome; }

    // Opens the port and runs the job; call on the device's thread.
    void Run();
    // Drops the port, engine and session; call on the device's thread after its event loop.
    void Release();
    // Stops the job once the command in flight is answered or given up on; the rest is not
    // sent. Call on the device's thread.
    void Interrupt();
    // Its port is gone: a job with a plan stops as unplugged. Call on the device's thread.
    void Unplug();

Q_SIGNALS:
    void Progress(const QString& port, const QString& text);
    void Done();

private:
    void Finish();

    QString FPortText;
    int FBaud;
    TJob FJob;
    TSnapshot FSnapshot;
    bool FReadBack;
    std::unique_ptr<TQtSerialPort> FPort;
    std::unique_ptr<TSessionHost> FHost;
    std::unique_ptr<TExchangeEngine> FEngine;
    std::unique_ptr<TDeviceSession> FSession;
    std::optional<TProvisionPlan> FPlan;
    std::unique_ptr<TProvisionJob> FProvision;
    std::optional<TProvisionOutcome> FOutcome;
    QString FLineError;
    bool FOpened = false;
    TSessionReport FReport;
    TSnapshot FBackup;
    QDateTime FStarted;
    QElapsedTimer FClock;
    qint64 FElapsedMs = 0;
};
