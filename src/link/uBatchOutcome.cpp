#include "uBatchOutcome.h"

#include "uNumbers.h"
#include "uUtils.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

// Parameters whose first argument picks one of several records.
bool IsIndexed(int number) {
    return number == 8 || number == 11 || number == 22;
}

QStringList ReplyFields(const QByteArray& reply) {
    if (reply.size() < 2) {
        return {};
    }
    return SplitArgs(QString::fromLatin1(reply.sliced(1, reply.size() - 2)));
}

const char* const kRunningText = "%1: %2 of %3";
const char* const kCompleteText = "%1 done: %2 of %3 commands answered in %4 s";
const char* const kCompleteWritesText =
    "%1 done: %2 of %3 commands answered, %4 writes confirmed, %5 differ, in %6 s";
const char* const kNoAnswerText =
    "%1 stopped: the device did not answer %2 (%3 of %4 answered). Resume: Alt+R";
const char* const kLineLostText = "%1 interrupted: the line was lost. %2";
const char* const kPortClosedText = "%1 interrupted: the port was closed. %2";
const char* const kCancelledText = "%1 cancelled by the user. %2";

// Added since: the other ends, and the counts they give, writes and reads apart.
const char* const kCompleteCountsText = "%1 done: %2, in %3 s";
const char* const kGaveUpText = "%1 stopped: the device stopped answering. %2";
const char* const kSupersededText = "%1 given up for another operation. %2";
const char* const kInterruptedText = "%1 interrupted on request. %2";
const char* const kWritesCount = "%1 of %2 writes answered (%3 confirmed, %4 differ)";
const char* const kReadsCount = "%1 of %2 reads answered";
const char* const kUnusableCount = "%1 replies the program cannot use";
const char* const kRefusedCount = "%1 commands refused by the rules, never sent";
const char* const kNoAnswerCount = "no answer to %1";
const char* const kNotSentCount = "%1 not sent";
// Added since: writes answered with something the program cannot use.
const char* const kWritesUnusableCount =
    "%1 of %2 writes answered (%3 confirmed, %4 differ, %5 unusable)";

// Added since: why a reply or a command did not count.
const char* const kUnusableNote = "%1 was answered with %2, which the program cannot use: %3";
const char* const kRefusedNote = "%1 was not sent: %2";
const char* const kTooLongText = "The command is %1 bytes long; a frame holds at most %2.";
const char* const kCannotCarryText = "%1 holds \"%2\", which no command can carry";

// A command or reply as a message shows it: control characters escaped, and cut short.
QString Shown(const QByteArray& text) {
    constexpr qsizetype kLongest = 60;
    const QString shown = EscapeControls(QString::fromLatin1(text.left(kLongest)));
    return text.size() > kLongest ? shown + QStringLiteral("...") : shown;
}

bool NoCommandCarries(QChar c, bool typed) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u < 0xA0) || u > 0xFF || c == QLatin1Char('!') ||
           (!typed && (c == QLatin1Char('(') || c == QLatin1Char(')')));
}

QString Seconds(qint64 ms) {
    return QString::number(double(ms) / 1000.0, 'f', 1);
}

// "5 of 22 writes answered (5 confirmed, 0 differ); no answer to (P06,1,0); 16 not sent".
QString Counts(const TBatchOutcome& o, const std::function<QString(const char*)>& t) {
    QStringList parts;
    if (o.Writes > 0) {
        QString writes = t(o.UnusableWrites > 0 ? kWritesUnusableCount : kWritesCount)
                             .arg(o.WritesAnswered())
                             .arg(o.Writes)
                             .arg(o.Confirmed)
                             .arg(o.Differs);
        parts.append(o.UnusableWrites > 0 ? writes.arg(o.UnusableWrites) : writes);
    }
    if (o.Reads > 0) {
        parts.append(t(kReadsCount).arg(o.ReadsAnswered()).arg(o.Reads));
    }
    if (o.Unusable > 0) {
        parts.append(t(kUnusableCount).arg(o.Unusable));
    }
    if (o.Refused > 0) {
        parts.append(t(kRefusedCount).arg(o.Refused));
    }
    if (o.NotAnswered() > 0) {
        parts.append(t(kNoAnswerCount).arg(o.InFlight()));
    }
    if (o.NotSent() > 0) {
        parts.append(t(kNotSentCount).arg(o.NotSent()));
    }
    if (!o.Note.isEmpty()) {
        parts.append(o.Note);
    }
    return parts.join(QStringLiteral("; "));
}

const char* EndFrame(const TBatchOutcome& o) {
    switch (o.End) {
    case TBatchEnd::NoAnswer:
        return kGaveUpText;
    case TBatchEnd::LineLost:
        return kLineLostText;
    case TBatchEnd::PortClosed:
        return kPortClosedText;
    case TBatchEnd::Cancelled:
        return kCancelledText;
    case TBatchEnd::Superseded:
        return kSupersededText;
    case TBatchEnd::Interrupted:
        return kInterruptedText;
    case TBatchEnd::Running:
    case TBatchEnd::Complete:
        break;
    }
    return kCompleteCountsText;
}

} // namespace

QByteArray CommandText(const TCmdItem& cmd) {
    if (cmd.ParamNo == 20) {
        return QString::asprintf("(P%.2d)", cmd.ParamNo).toLatin1();
    }
    return QString::asprintf(cmd.Kind != kCmdParam ? "(T%.2d,%d" : "(P%.2d,%d", cmd.ParamNo,
                             int(cmd.RW))
               .toLatin1() +
           cmd.Args.toLatin1() + ')';
}

bool AnswersCommand(const QByteArray& reply, const TCmdItem& cmd) {
    const QStringList fields = ReplyFields(reply);
    if (fields.size() < 2 || fields[1].isEmpty()) {
        return false;
    }
    const QString& name = fields[1];
    const QChar letter = cmd.Kind != kCmdParam ? QLatin1Char('T') : QLatin1Char('P');
    if (name.front() != letter || TextToInt(name.mid(1)) != cmd.ParamNo) {
        return false;
    }
    if (!IsIndexed(cmd.ParamNo)) {
        return true;
    }
    const QStringList args = SplitArgs(CommandValue(cmd));
    return fields.size() > 2 && TextToInt(fields[2]).has_value() &&
           TextToInt(fields[2]) == TextToInt(args.value(0));
}

QString ReplyValue(const QByteArray& reply) {
    QStringList fields = ReplyFields(reply);
    return fields.size() > 2 ? fields.sliced(2).join(QLatin1Char(',')) : QString();
}

QString CommandValue(const TCmdItem& cmd) {
    return cmd.Args.startsWith(QLatin1Char(',')) ? cmd.Args.mid(1) : cmd.Args;
}

TCmdState CheckAnswer(const TCmdItem& cmd, const QByteArray& reply, const TSameValue& same) {
    if (cmd.RW == kCmdRead || reply.isEmpty()) {
        return TCmdState::Answered;
    }
    const QString held = ReplyValue(reply);
    const bool equal = same ? same(cmd, held) : held == CommandValue(cmd);
    return equal ? TCmdState::Confirmed : TCmdState::Differs;
}

std::optional<QString> LineFault(const QByteArray& text, const QString& args, bool typed,
                                 const std::function<QString(const QString&)>& translate) {
    const QString checked = typed ? QString::fromLatin1(text) : args;
    const auto bad = std::find_if(checked.cbegin(), checked.cend(),
                                  [typed](QChar c) { return NoCommandCarries(c, typed); });
    if (bad != checked.cend()) {
        return translate(QString::fromLatin1(kCannotCarryText))
            .arg(Shown(text), EscapeControls(QString(*bad)));
    }
    if (text.size() > kMaxFrameBody) {
        return translate(QString::fromLatin1(kTooLongText)).arg(text.size()).arg(kMaxFrameBody);
    }
    return std::nullopt;
}

QString UnusableNote(const TCmdItem& cmd, const QByteArray& reply, const QString& fault,
                     const std::function<QString(const QString&)>& translate) {
    return translate(QString::fromLatin1(kUnusableNote))
        .arg(Shown(CommandText(cmd)), Shown(reply), EscapeControls(fault));
}

QString RefusedNote(const TCmdItem& cmd, const QString& fault,
                    const std::function<QString(const QString&)>& translate) {
    return translate(QString::fromLatin1(kRefusedNote))
        .arg(Shown(CommandText(cmd)), EscapeControls(fault));
}

QStringList OutcomeNoteTexts() {
    return Latin1Texts(
        {kUnusableNote, kRefusedNote, kTooLongText, kCannotCarryText, kNotSentLogLabel});
}

QString TBatchOutcome::InFlight() const {
    return NotAnswered() > 0 ? QString::fromLatin1(CommandText(Pending.first())) : QString();
}

QString BatchLabel(const QString& caption) {
    static const QRegularExpression accessKey(QStringLiteral("\\s*[\\[(]&.[\\])]\\s*$"));
    QString label = caption;
    label.remove(accessKey);
    return label.remove(QLatin1Char('&')).trimmed();
}

QStringList OutcomeTexts() {
    return Latin1Texts({kNoAnswerLogLabel, kRunningText, kCompleteText, kCompleteWritesText,
                        kNoAnswerText, kLineLostText, kPortClosedText, kCancelledText});
}

QStringList OutcomeCountTexts() {
    return Latin1Texts({kCompleteCountsText, kGaveUpText, kSupersededText, kInterruptedText,
                        kWritesCount, kReadsCount, kUnusableCount, kRefusedCount, kNoAnswerCount,
                        kNotSentCount});
}

QStringList OutcomeWriteTexts() {
    return Latin1Texts({kWritesUnusableCount});
}

QString JoinSentences(const QString& first, const QString& second) {
    if (first.isEmpty() || second.isEmpty()) {
        return first + second;
    }
    return first + (first.endsWith(QLatin1Char('.')) ? QStringLiteral(" ") : QStringLiteral(". ")) +
           second;
}

QString OutcomeText(const TBatchOutcome& o,
                    const std::function<QString(const QString&)>& translate) {
    const std::function<QString(const char*)> t = [&](const char* text) {
        return translate(QString::fromLatin1(text));
    };
    const QString done = QString::number(o.Answered);
    const QString total = QString::number(o.Total);
    switch (o.End) {
    case TBatchEnd::Running:
        return t(kRunningText).arg(o.Label).arg(std::min(o.Answered + 1, o.Total)).arg(o.Total);
    case TBatchEnd::Complete:
        if (o.Unusable == 0 && o.Refused == 0 && o.Writes == 0) {
            return t(kCompleteText).arg(o.Label, done, total, Seconds(o.ElapsedMs));
        }
        if (o.Unusable == 0 && o.Refused == 0 && o.Reads == 0) {
            return t(kCompleteWritesText)
                .arg(o.Label, done, total, QString::number(o.Confirmed), QString::number(o.Differs),
                     Seconds(o.ElapsedMs));
        }
        return t(kCompleteCountsText).arg(o.Label, Counts(o, t), Seconds(o.ElapsedMs));
    case TBatchEnd::NoAnswer:
        if (o.Resumable) {
            return t(kNoAnswerText).arg(o.Label, o.InFlight(), done, total);
        }
        break;
    case TBatchEnd::LineLost:
    case TBatchEnd::PortClosed:
    case TBatchEnd::Cancelled:
    case TBatchEnd::Superseded:
    case TBatchEnd::Interrupted:
        break;
    }
    return t(EndFrame(o)).arg(o.Label, Counts(o, t));
}
