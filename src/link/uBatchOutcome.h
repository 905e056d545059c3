#pragma once

#include "uCmdItem.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <functional>

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

enum class TWriteCheck { NotAWrite, Confirmed, Differs };

// A command of a batch that the device answered.
struct TCmdAnswer {
    TCmdItem Cmd;
    QByteArray Reply; // "(...)"; empty when the queue was advanced without a reply
    TWriteCheck Check = TWriteCheck::NotAWrite;
};

// A write is confirmed when the device echoes exactly what was sent.
TWriteCheck CheckWrite(const TCmdItem& cmd, const QByteArray& reply);

enum class TBatchEnd {
    Running,    // still going (or going on again after Resume)
    Complete,   // every command answered
    NoAnswer,   // the device did not answer the command at the head; it stays queued
    LineLost,   // the line failed under the batch
    PortClosed, // the user closed the port during the batch
    Cancelled,  // the user cancelled, or another operation took the queue over
};

struct TBatchOutcome {
    QString Label; // what runs, in the user's words ("Read All")
    TBatchEnd End = TBatchEnd::Running;
    int Total = 0;
    int Answered = 0;
    int Confirmed = 0; // writes the device echoed exactly
    int Differs = 0;   // writes the device answered with something else
    qint64 ElapsedMs = 0;
    QList<TCmdItem> Pending; // commands not answered when the batch stopped, head first

    // Every command answered and every write confirmed.
    bool Succeeded() const { return End == TBatchEnd::Complete && Differs == 0; }
    int Writes() const { return Confirmed + Differs; }
};

// A control's caption as a batch name: without its access key ("Read All [&A]" → "Read All").
QString BatchLabel(const QString& caption);

// The one-line account of a batch for the window; texts go through translate.
QString OutcomeText(const TBatchOutcome& outcome,
                    const std::function<QString(const QString&)>& translate);
// Every text OutcomeText may look up, for the language file.
QStringList OutcomeTexts();

Q_DECLARE_METATYPE(TCmdAnswer)
Q_DECLARE_METATYPE(TBatchOutcome)
