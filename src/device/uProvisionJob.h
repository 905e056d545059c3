#pragma once

#include "uDeviceSession.h"
#include "uSnapshot.h"
#include "uStatusReport.h"
#include "uValuesFile.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <optional>

class TExchangeEngine;

// What a device is given and checked for: a template with its row of a values file, and at a
// station the signal levels it must reach.
struct TProvisionPlan {
    TSnapshot Template;
    const TValuesFile* Values = nullptr; // nullptr: the template alone
    bool ValuesOptional = false;         // a device the file does not name gets the template
    bool Write = true;                   // false: verify only
    bool ReadBack = true;
    // Devices (by ID) written before: read first, and written only when they differ.
    QStringList VerifyFirst;
    std::optional<int> NeedGps, NeedGsm; // levels the device must reach once written
    int SignalWaitMs = 60'000;
};

enum class TProvisionResult {
    Confirmed,   // every value written (or read) and confirmed, levels reached
    Differs,     // some value differs from what was written
    AlreadyDone, // the device held every value: nothing written
    NotNamed,    // the values file does not name the device: nothing written
    Unusable,    // its status report gives no usable device ID: nothing written
    WeakSignal,  // written and confirmed, but the levels were not reached in time
    Unplugged,   // the line went while the job ran
    NoAnswer,    // the device stopped answering
    LineError,   // the port refused a write
    Interrupted, // stopped by the user after the command in flight
};

struct TProvisionOutcome {
    QString Id; // empty while the device has not answered
    TProvisionResult Result = TProvisionResult::NoAnswer;
    QString Error;
    QString ValuesFile;                  // the values file's name, when one was given
    std::optional<TValuesRow> Row;       // the device's row of it
    TSessionReport Report;               // of the restore or verify
    std::optional<TStatusReport> Status; // the last status report
    int Answered = 0;                    // commands of the restore or verify answered,
    int Planned = 0;                     // of so many; 0 before it started
    qint64 ElapsedMs = 0;

    // "fleet.csv line 3: P17, P11.2"; empty when the device got nothing from a values file.
    QString ValuesText() const;
};

// One device's job when values differ per device: ask the device who it is (its status
// report, before anything is written), give it the template with its row of the values file,
// write and read back (or only verify), then, when asked to, wait for its GPS and GSM levels,
// asking for its status report every few seconds. Runs on the device's thread, on its session.
class TProvisionJob : public QObject {
    Q_OBJECT
public:
    static constexpr int kSignalEveryMs = 3000;

    TProvisionJob(TDeviceSession& session, const TExchangeEngine& engine, TProvisionPlan plan,
                  QString port, QObject* parent = nullptr);

    void Start();
    // Lets the command in flight be answered (or time out), then stops.
    void Interrupt();
    // The port is gone from the system's list (or its link is): the device is unplugged
    // whatever the line says yet. Stops as Interrupt does, the outcome Unplugged.
    void Unplug();
    // Valid once Finished has been raised.
    const TProvisionOutcome& Outcome() const { return FOutcome; }

Q_SIGNALS:
    void Step(const QString& text);
    void Finished();

private:
    enum class TStage { Identify, Check, Write, Signal, Done };

    void OnSession();
    void Identified();
    void WriteOrVerify();
    void Written();
    void AskSignal();
    void SignalRead();
    void CountCommands();
    // The session ended short; finishes the job then and returns true.
    bool EndedShort();
    void KeepUnsent();
    void Finish(TProvisionResult result, const QString& error = QString());

    TDeviceSession& FSession;
    const TExchangeEngine& FEngine;
    TProvisionPlan FPlan;
    QString FPort;
    TSnapshot FSnapshot; // the template with the device's values
    TStage FStage = TStage::Done;
    bool FInterrupted = false;
    bool FUnplugged = false;
    QElapsedTimer FClock;
    QElapsedTimer FSignalClock;
    QTimer FSignalTimer;
    TProvisionOutcome FOutcome;
};
