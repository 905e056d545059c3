#pragma once

#include "uCmdItem.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// What became of the commands of a batch, as the exchange engine reports it to the window
// and to the command-line tool.

// The command text as the device sees it: "(P03,1,+8613800138000)", "(T01,0)", "(P20)".
QByteArray CommandText(const TCmdItem& cmd);

// True when the reply "(...)" answers the command: the same letter and parameter number and,
// for the indexed parameters (geo-fence, authorised number, alarm flags), the same index.
bool AnswersCommand(const QByteArray& reply, const TCmdItem& cmd);

// The reply's fields from the third on, joined by "," exactly as received.
QString ReplyValue(const QByteArray& reply);
// A command's arguments without their leading ",": what the device echoes when it stored them.
QString CommandValue(const TCmdItem& cmd);

// The marker of the transcript line that tells where the device went silent.
inline constexpr const char* kNoAnswerLogLabel = "No answer";
// The marker of the transcript line of a command refused and never sent.
inline constexpr const char* kNotSentLogLabel = "Not sent";

// What became of one command of a batch.
enum class TCmdState {
    NotSent,     // never sent: the batch ended before it
    NotAnswered, // sent, and no reply came (a late one still verifies it)
    Answered,    // a read the device answered
    Confirmed,   // a write the device echoed with the value sent
    Differs,     // a write the device answered with another value
    Unusable,    // the device answered with something the program cannot use
    Refused,     // breaks a rule of its parameter: never framed, never sent
};

// Whether a write's echo holds the value sent: the written value and the device's (the reply's
// fields from the third on). Text equality unless an engine is given the device's own rules.
using TSameValue = std::function<bool(const TCmdItem& cmd, const QString& held)>;

// Why a command breaks a rule of its parameter ("P17: Another name cannot hold "!""), or why a
// reply "(...)" cannot be used; nullopt when it is fine. An engine is given the device's rules.
using TCommandRule = std::function<std::optional<QString>(const TCmdItem& cmd)>;
using TReplyRule = std::function<std::optional<QString>(const QByteArray& reply)>;

// What no command may carry whatever its parameter: a "!" (it ends a frame on the line), a
// parenthesis or a control character in its arguments, a character beyond Latin-1, or more
// than a frame holds. Typed commands (typed true) may hold parentheses.
std::optional<QString> LineFault(const QByteArray& text, const QString& args, bool typed,
                                 const std::function<QString(const QString&)>& translate);

// A command of a batch that the device answered, or that was refused and never sent.
struct TCmdAnswer {
    TCmdItem Cmd;
    QByteArray Reply; // "(...)"; empty when the queue was advanced without a reply
    TCmdState State = TCmdState::Answered;
    bool Late = false; // answers a command of a batch that had already ended
    QString Fault;     // Unusable or Refused: why
};

// The state an answer gives its command: a read is answered, a write confirmed or differing.
TCmdState CheckAnswer(const TCmdItem& cmd, const QByteArray& reply, const TSameValue& same);

enum class TBatchEnd {
    Running,     // still going (or going on again after Resume)
    Complete,    // every command answered
    NoAnswer,    // the device did not answer the head; resumable while it stays queued
    LineLost,    // the line failed under the batch
    PortClosed,  // the user closed the port during the batch
    Cancelled,   // the user cancelled
    Superseded,  // another operation took the line over
    Interrupted, // a stop was asked for: the command in flight was finished, the rest not sent
};

struct TBatchOutcome {
    QString Label;  // what runs, in the user's words ("Read All")
    int Serial = 0; // tells the engine's batches apart
    TBatchEnd End = TBatchEnd::Running;
    int Total = 0;
    int Reads = 0;          // commands of the batch that read
    int Writes = 0;         // commands of the batch that write
    int Answered = 0;       // commands answered, reads and writes
    int Confirmed = 0;      // writes the device echoed with the value sent
    int Differs = 0;        // writes the device answered with something else
    int Unusable = 0;       // replies the program could not use
    int UnusableWrites = 0; // of them, replies to writes: answered, neither confirmed nor differing
    int Refused = 0;        // commands never sent because they break a rule
    qint64 ElapsedMs = 0;
    QString Note;            // the first unusable reply or refused command of the batch, in words
    QList<TCmdItem> Pending; // commands not answered when the batch stopped, head first
    bool HeadSent = false;   // the first of Pending was sent; the others never were
    bool Resumable = false;  // stopped with the unanswered command still queued

    // Every command answered, every write confirmed, every reply usable.
    bool Succeeded() const {
        return End == TBatchEnd::Complete && Differs == 0 && Unusable == 0 && Refused == 0;
    }
    int WritesAnswered() const { return Confirmed + Differs + UnusableWrites; }
    int ReadsAnswered() const { return Answered - WritesAnswered(); }
    int NotAnswered() const { return HeadSent && !Pending.isEmpty() ? 1 : 0; }
    int NotSent() const { return int(Pending.size()) - NotAnswered(); }
    // The command sent and left unanswered, as sent; empty when there is none.
    QString InFlight() const;
};

// A control's caption as a batch name: without its access key ("Read All [&A]" → "Read All").
QString BatchLabel(const QString& caption);

// Two sentences of one line: a full stop ends the first when it has none.
QString JoinSentences(const QString& first, const QString& second);

// The one-line account of a batch for the window; texts go through translate.
QString OutcomeText(const TBatchOutcome& outcome,
                    const std::function<QString(const QString&)>& translate);
// Every text OutcomeText may look up, for the language file: the first texts, then those
// added since (appended at the end of the window's list so that earlier ids stay).
QStringList OutcomeTexts();
QStringList OutcomeCountTexts();
// Added since: the count of writes answered with replies the program cannot use.
QStringList OutcomeWriteTexts();
// The texts of the notes on unusable replies and refused commands, and of LineFault.
QStringList OutcomeNoteTexts();
// "(P05,0) was answered with (...), which the program cannot use: ..." and "... was not sent: ...".
QString UnusableNote(const TCmdItem& cmd, const QByteArray& reply, const QString& fault,
                     const std::function<QString(const QString&)>& translate);
QString RefusedNote(const TCmdItem& cmd, const QString& fault,
                    const std::function<QString(const QString&)>& translate);

Q_DECLARE_METATYPE(TCmdAnswer)
Q_DECLARE_METATYPE(TBatchOutcome)
