#pragma once

#include "uBatchOutcome.h"
#include "uFieldRule.h"
#include "uSnapshot.h"

#include <QByteArrayList>
#include <QObject>
#include <QString>
#include <optional>
#include <vector>

class TExchangeEngine;

// What became of one parameter of a restore or verify (the report's "state", see
// docs/snapshot.md).
enum class TParamState {
    Confirmed, // the device, read, holds the value: read back after a write, or verified
    Echoed,    // written and echoed with the value sent, but not read back
    Differs,   // the device holds something else (echoed or read back)
    NoAnswer,  // sent, and the device did not answer
    NotSent,   // never sent: the run ended before it
    Unusable,  // the device answered with something the program cannot use
    Refused,   // breaks a rule of its parameter: never sent
};
enum class TDeviceResult { Confirmed, Differs, NoAnswer, LineError, Cancelled, Interrupted };

// One parameter of a restore or verify: the value the snapshot holds, what the device holds.
struct TParamCheck {
    QString Key;
    QString Sent;
    std::optional<QString> Device; // nullopt while the device has not told
    TParamState State = TParamState::NotSent;
};

// What became of one device.
struct TSessionReport {
    QString Id; // the device identity of its replies; empty when it never answered
    TDeviceResult Result = TDeviceResult::NoAnswer;
    QString Error; // the line's error text, or the command the device left unanswered
    std::vector<TParamCheck> Params; // restore and verify, in the order they were sent

    int Count(TParamState state) const;
};

// The device's rules on an engine: writes compared as the device stores values, every command
// checked by its parameter's rules before it is framed, every reply by its fields' rules.
// Messages go through translate.
void ApplyDeviceRules(TExchangeEngine& engine, const TTranslate& translate = {});

// Backs up, restores or verifies one device on an engine that is already connected: one batch
// of commands with the engine's pacing and head matching. A command the device leaves
// unanswered is sent again twice; then the device counts as not answering. Replies that answer
// no command of the batch (status reports) change nothing.
//
// Restore writes the snapshot's keys in the restore order (P21 only with a count of at least
// 1), each checked against its echo, then reads every written key back unless told not to.
// Verify reads the same keys and writes nothing. Backup reads every readable parameter; a
// value the program cannot use stays out of its snapshot and is reported as unusable.
// Values are compared as the device stores them (TParamCatalogue::SameValue).
class TDeviceSession : public QObject {
    Q_OBJECT
public:
    static constexpr int kRetries = 2;

    explicit TDeviceSession(TExchangeEngine& engine, QObject* parent = nullptr);

    void Backup();
    void Restore(const TSnapshot& snapshot, bool readBack);
    void Verify(const TSnapshot& snapshot);
    // Reads the commands and keeps their replies, in order (Replies()); label is the step
    // line, its part before ":" the batch's name.
    void Query(const std::vector<TCmdItem>& cmds, const QString& label);
    // The name the engine gives the batches from now on, in the user's words; empty: the
    // operation's own ("backup", "restore", "verify").
    void SetBatchLabel(const QString& label) { FBatchLabel = label; }
    // Stops once the command in flight is answered (or given up on); what was not sent is
    // reported as such and the device as interrupted.
    void Interrupt();

    bool Running() const { return FRunning; }
    const TSessionReport& Report() const { return FReport; }
    // The device's settings after a backup.
    const TSnapshot& Result() const { return FResult; }
    // The replies after a query, one per command answered.
    const QByteArrayList& Replies() const { return FReplies; }

Q_SIGNALS:
    // One line for the technician: which step the device is at.
    void Step(const QString& text);
    // The device left a command unanswered; it is sent again, as attempt "attempt" of "attempts".
    void Retrying(const QString& command, int attempt, int attempts);
    void Finished();

private:
    enum class TPhase { Read, Write, ReadBack };
    struct TPlanned {
        TCmdItem Cmd;
        QString Key;
        TPhase Phase = TPhase::Read;
        qsizetype Check = -1; // its row in the report; -1 for a backup's reads
    };

    void Start(const QString& label);
    void Plan(const TSnapshot& snapshot, bool write, bool read);
    void OnAnswered(const TCmdAnswer& answer);
    void OnBatch(const TBatchOutcome& outcome);
    void Keep(const TPlanned& planned, const TCmdAnswer& answer);
    void KeepBackup(const QString& key, const QByteArray& reply);
    void KeepUnanswered();
    // The planned command the device is expected to answer, as sent.
    QString InFlight() const;
    void Finish(TDeviceResult result, const QString& error = QString());

    TExchangeEngine& FEngine;
    std::vector<TPlanned> FPlan;
    std::size_t FNext = 0; // the planned command the device is expected to answer
    int FRetries = 0;
    bool FRunning = false;
    bool FInterrupted = false;
    bool FBackup = false;
    TSessionReport FReport;
    TSnapshot FResult;
    QByteArrayList FReplies;
    QString FBatchLabel;
};
