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
const char* const kLineLostText =
    "%1 interrupted: the line was lost after %2 of %3 commands; %4 not done";
const char* const kPortClosedText =
    "%1 interrupted: the port was closed after %2 of %3 commands; %4 not done";
const char* const kCancelledText = "%1 cancelled after %2 of %3 commands; %4 not done";

QString Seconds(qint64 ms) {
    return QString::number(double(ms) / 1000.0, 'f', 1);
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

TWriteCheck CheckWrite(const TCmdItem& cmd, const QByteArray& reply) {
    if (cmd.RW == kCmdRead || reply.isEmpty()) {
        return TWriteCheck::NotAWrite;
    }
    return ReplyValue(reply) == CommandValue(cmd) ? TWriteCheck::Confirmed : TWriteCheck::Differs;
}

QString BatchLabel(const QString& caption) {
    static const QRegularExpression accessKey(QStringLiteral("\\s*[\\[(]&.[\\])]\\s*$"));
    QString label = caption;
    label.remove(accessKey);
    return label.remove(QLatin1Char('&')).trimmed();
}

QStringList OutcomeTexts() {
    QStringList texts;
    for (const char* text : {kNoAnswerLogLabel, kRunningText, kCompleteText, kCompleteWritesText,
                             kNoAnswerText, kLineLostText, kPortClosedText, kCancelledText}) {
        texts.append(QString::fromLatin1(text));
    }
    return texts;
}

QString OutcomeText(const TBatchOutcome& o,
                    const std::function<QString(const QString&)>& translate) {
    const auto t = [&](const char* text) { return translate(QString::fromLatin1(text)); };
    const QString done = QString::number(o.Answered);
    const QString total = QString::number(o.Total);
    const QString notDone = QString::number(o.Total - o.Answered);
    switch (o.End) {
    case TBatchEnd::Running:
        return t(kRunningText).arg(o.Label).arg(std::min(o.Answered + 1, o.Total)).arg(o.Total);
    case TBatchEnd::Complete:
        if (o.Writes() == 0) {
            return t(kCompleteText).arg(o.Label, done, total, Seconds(o.ElapsedMs));
        }
        return t(kCompleteWritesText)
            .arg(o.Label, done, total, QString::number(o.Confirmed), QString::number(o.Differs),
                 Seconds(o.ElapsedMs));
    case TBatchEnd::NoAnswer:
        return t(kNoAnswerText)
            .arg(o.Label,
                 o.Pending.isEmpty() ? QString() : QString::fromLatin1(CommandText(o.Pending[0])),
                 done, total);
    case TBatchEnd::LineLost:
        return t(kLineLostText).arg(o.Label, done, total, notDone);
    case TBatchEnd::PortClosed:
        return t(kPortClosedText).arg(o.Label, done, total, notDone);
    case TBatchEnd::Cancelled:
        return t(kCancelledText).arg(o.Label, done, total, notDone);
    }
    return QString();
}
