#pragma once

#include "uBatchOutcome.h"
#include "uCmdItem.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <deque>
#include <optional>

class ICommPort;
class IEngineHost;

// The command queue and the exchange with the device: one command in flight at a time,
// each reply advancing the queue, a 50 ms pause between commands and a reply time-out of
// three timer ticks. Runs on the event thread; the pause and the progress reset process
// pending events, so replies (and the handlers behind them) can re-enter the engine there.
//
// Progress: a batch starts at 0 of its size, each answered command moves the count one
// step, and a completed batch ends at 0 of its size again. After a time-out the bar keeps
// the count the batch reached until the next batch starts, which is how the user sees
// that the device stopped answering.
//
// A reply advances the queue only when it answers the command at the head, so status reports
// nobody asked for, console replies and the late original reply of a re-sent command never
// shift a batch. Every batch ends in one outcome (complete, no answer, line lost, port
// closed, cancelled, superseded, interrupted), reported with BatchChanged; writes are checked
// against their replies. A reply that comes after its batch has ended still answers the
// command left unanswered: CommandAnswered tells it as late, and the batch's counts follow.
class TExchangeEngine : public QObject {
    Q_OBJECT
public:
    static constexpr int kRxBufferLimit = 64 * 1024;
    static constexpr int kOverTimeTicks = 3;

    TExchangeEngine(ICommPort& port, IEngineHost& host, QObject* parent = nullptr);
    ~TExchangeEngine() override;

    void AddCmd(std::int32_t ParamNo, std::uint8_t RW, const QString& Args, std::uint8_t Kind);
    // Sends the head of the queue. With an empty queue nothing is sent and the engine
    // stays idle with the buttons enabled (while the port is open).
    void StartSend(bool Restart);
    // Starts the queued batch as an operation does; when the line refuses the first command
    // the batch is abandoned (queue cleared, idle) and the error text returned for the user.
    std::optional<QString> StartBatch(const QString& label = QString());
    // Formats, frames, writes and logs one command. Used directly it arms no time-out.
    // Throws TLinkError when the port fails the write or the command is refused (its text
    // is the reason).
    void SendCmd(std::int32_t ParamNo, std::uint8_t RW, const QString& Args, std::uint8_t Kind);
    // False when the port is closed: the batch ends there and nothing is written.
    bool WritePort(const QByteArray& Frame);
    // A command typed by the user, framed unchanged and logged before the write. It bypasses
    // the queue: busy state, time-out and reply label stay as they are. Throws TLinkError
    // before logging anything when no frame can carry the text (LineFault).
    void SendTyped(const QByteArray& text);
    // Called by the reply handler after every reply it applied. Advances the queue only when
    // the reply being handled answers the head command (or when called outside a reply).
    void NextCmd();
    // ClearQueue supersedes a running batch: it ends as cancelled.
    void ClearQueue();
    void CancelQueue();
    // How a write's echo is compared with the value sent; exact text when not set.
    void SetSameValue(TSameValue same) { FSameValue = std::move(same); }
    // The device's rules for what is sent and what comes back. A command that breaks them is
    // never framed: it is refused, and its batch goes on without it; so is one that no command
    // may carry (LineFault), rules or not. A reply that answers a command but breaks them, or
    // that the reply handler cannot apply, is unusable: it still answers its command.
    void SetRules(TCommandRule command, TReplyRule reply) {
        FCommandRule = std::move(command);
        FReplyRule = std::move(reply);
    }

    // After the device did not answer: sends the head command again and goes on with the
    // batch. Returns the line's error text when the write fails (the batch then ends).
    std::optional<QString> Resume();
    // Drops what is queued; a running or stopped batch ends as cancelled.
    void Cancel();
    // After the device did not answer: drops the rest; the batch stays stopped, not resumable.
    void GiveUp();
    // Ends the batch once the command in flight is answered or given up, sending nothing more;
    // at once when nothing is in flight.
    void Interrupt();
    // Ends the current batch with this outcome (the line was lost or closed under it).
    void AbortBatch(TBatchEnd end);
    bool CanResume() const;
    bool CanCancel() const { return !FCmdList.empty(); }
    // A batch is under way with writes still to be answered.
    bool WritesPending() const;
    // The batch under way or the last one; End is Running while it goes on.
    const std::optional<TBatchOutcome>& Batch() const { return FBatch; }
    void SetBusy(bool Busy);
    void ResetProgress(bool Restart);
    void ProcessRxBuffer();
    void ComPortRxChar(qint64 Count);
    void tmOverTimeTimer();
    // Lets events flow for the given time, then returns; precise to a fraction of a millisecond.
    void Wait(std::chrono::nanoseconds length);

    bool IsBusy() const { return tmOverTime.isActive(); }
    // True while a received reply is being applied.
    bool HandlingReply() const { return FReply.Active; }
    // True while the reply being applied answers the command a running batch waits for; false
    // for a reply that comes after its batch stopped or ended, or that nobody asked for.
    bool HandlingAwaitedReply() const {
        return FReply.Active && FReply.AnswersHead && FBatch && FBatch->End == TBatchEnd::Running;
    }
    int QueueLength() const { return static_cast<int>(FCmdList.size()); }
    const std::deque<TCmdItem>& Queue() const { return FCmdList; }
    const QByteArray& RxBuffer() const { return FRxBuffer; }
    int BatchLeft() const { return FBatchLeft; }
    int ProgressTotal() const { return FBarTotal; }
    int ProgressCount() const { return FBarCount; }

    // A transcript line: "<date> <time> <direction> <label> : <text>".
    static QString LogLine(const char* direction, const QString& label, const QString& text,
                           const QDateTime& when = QDateTime::currentDateTime());

    // The line of the command last sent is handed to the host once its reply has been read, or
    // shortly after when none comes; this hands it over now.
    void HandOverSentLine();

    // Tests run the same logic with shorter time-out ticks and pauses.
    void SetTimingForTests(int tickMs, int pauseMs);

Q_SIGNALS:
    // The device did not answer the command in flight within the time-out.
    void BatchTimedOut();
    // A batch started, moved on, stopped or ended.
    void BatchChanged(const TBatchOutcome& outcome);
    // The device answered the head command of the queue (before the next one is sent).
    void CommandAnswered(const TCmdAnswer& answer);

private:
    void SetProgress(int total, int count);
    void SetProgressCount(int count) { SetProgress(FBarTotal, count); }
    void BoundRxBuffer();
    // The host's transcript, after the line of the command last sent.
    void Log(const QString& line);
    static QByteArray FrameOrThrow(const QByteArray& text);

    // Sends the head; when the line refuses, the batch is abandoned and the error returned.
    std::optional<QString> SendOrAbandon(bool restart);
    void BeginBatch();
    void ReopenBatch();
    void Count(const TCmdAnswer& answer);
    void StopHere();
    void DropQueue();
    void RememberLate();
    void RecordAnswer(const TCmdItem& head);
    // Why the command may not be framed; nullopt when it may.
    std::optional<QString> Refusal(const TCmdItem& cmd) const;
    // Refuses the head of the queue when it breaks a rule; false when it may be sent.
    bool RefuseHead();
    // The state an answer gives its command, unusable when the reply breaks the rules.
    TCmdAnswer Answer(const TCmdItem& cmd, const QByteArray& reply, QString fault, bool late);
    void RecordLateAnswer(const QByteArray& reply);
    void EndBatch(TBatchEnd end);
    void ReportBatch();
    // When the bytes up to this count received were taken from the line.
    QDateTime ArrivalOf(qint64 received);
    void ForgetArrivals();

    // The reply being handled; saved and restored around nested replies of the pauses.
    struct TReplyContext {
        bool Active = false;
        bool AnswersHead = false;
        QByteArray Text;
        QString Fault; // why the reply handler could not apply it
    };
    // A command sent and left unanswered by a batch that has ended.
    struct TLateCommand {
        TCmdItem Cmd;
        int Batch = 0;
    };
    struct TArrival {
        qint64 End = 0; // bytes received on the line up to this read
        QDateTime When;
    };
    // A command written to the line whose transcript line is still to be handed over.
    struct TSentLine {
        QByteArray Text;
        qint64 SentMs = 0; // since the epoch
    };
    static constexpr int kLateCommands = 8;
    static constexpr int kSentLineDelayMs = 20;

    ICommPort& FPort;
    IEngineHost& FHost;

    std::deque<TCmdItem> FCmdList;
    QByteArray FRxBuffer;
    int FBatchLeft = 0;
    int FOverTimeTicks = 0;
    std::uint8_t FLastRW = 0;
    QTimer tmOverTime;
    QTimer tmSentLine;
    std::optional<TSentLine> FSentLine;
    int FPauseMs = 50;
    int FBarTotal = 0;
    int FBarCount = 0;
    TReplyContext FReply;
    QString FNextLabel;
    std::optional<TBatchOutcome> FBatch;
    int FBatchSerial = 0;
    QElapsedTimer FBatchClock;
    QElapsedTimer FReplyRead;    // since the reply being handled was read off the line
    bool FHeadSent = false;      // the head of the queue has been sent and not answered
    bool FStopAfterHead = false; // Interrupt: the batch ends after the command in flight
    std::deque<TLateCommand> FLate;
    TSameValue FSameValue;
    TCommandRule FCommandRule;
    TReplyRule FReplyRule;
    std::deque<TArrival> FArrivals;
    qint64 FReceived = 0; // bytes taken from the line since the port opened
    qint64 FConsumed = 0; // of which removed from the front of the receive buffer
};
