#include "uExchangeEngine.h"

#include "uCommPort.h"
#include "uEngineHost.h"
#include "uLinkError.h"
#include "uUtils.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLocale>
#include <QPointer>
#include <algorithm>
#include <thread>
#include <utility>

TExchangeEngine::TExchangeEngine(ICommPort& port, IEngineHost& host, QObject* parent)
    : QObject(parent), FPort(port), FHost(host) {
    tmOverTime.setInterval(1000);
    connect(&tmOverTime, &QTimer::timeout, this, &TExchangeEngine::tmOverTimeTimer);
    tmSentLine.setSingleShot(true);
    tmSentLine.setInterval(kSentLineDelayMs);
    connect(&tmSentLine, &QTimer::timeout, this, &TExchangeEngine::HandOverSentLine);
    connect(&FPort, &ICommPort::RxChar, this, &TExchangeEngine::ComPortRxChar);
    // Connected before anyone else can be: the batch has ended before the window reacts.
    connect(&FPort, &ICommPort::LineLost, this, [this] { AbortBatch(TBatchEnd::LineLost); });
}

TExchangeEngine::~TExchangeEngine() = default;

void TExchangeEngine::SetTimingForTests(int tickMs, int pauseMs) {
    tmOverTime.setInterval(tickMs);
    FPauseMs = pauseMs;
}

void TExchangeEngine::AddCmd(std::int32_t ParamNo, std::uint8_t RW, const QString& Args,
                             std::uint8_t Kind) {
    FCmdList.push_back(TCmdItem{ParamNo, RW, Args, Kind});
}

void TExchangeEngine::StartSend(bool Restart) {
    if (Restart && !FCmdList.empty()) {
        BeginBatch();
    }
    ResetProgress(Restart);
    if (FCmdList.empty()) {
        SetBusy(false);
        return;
    }
    if (!Restart && FStopAfterHead) {
        StopHere(); // asked during the pause: the next command is not sent
        return;
    }
    while (RefuseHead()) {
    }
    if (FCmdList.empty()) {
        SetBusy(false);
        SetProgressCount(0);
        EndBatch(TBatchEnd::Complete);
        return;
    }
    const TCmdItem head = FCmdList.front();
    SetBusy(true);
    SendCmd(head.ParamNo, head.RW, head.Args, head.Kind);
    FHeadSent = !FCmdList.empty(); // a closed port has emptied the queue instead
}

std::optional<QString> TExchangeEngine::StartBatch(const QString& label) {
    FNextLabel = label;
    return SendOrAbandon(true);
}

std::optional<QString> TExchangeEngine::SendOrAbandon(bool restart) {
    try {
        StartSend(restart);
    } catch (const TLinkError& error) {
        AbortBatch(TBatchEnd::LineLost);
        ClearQueue();
        SetBusy(false);
        return error.Text();
    }
    return std::nullopt;
}

std::optional<QString> TExchangeEngine::Resume() {
    if (!CanResume()) {
        return std::nullopt;
    }
    ReopenBatch();
    ReportBatch();
    return SendOrAbandon(false);
}

bool TExchangeEngine::CanResume() const {
    return FBatch && FBatch->End == TBatchEnd::NoAnswer && FBatch->Resumable && !FCmdList.empty() &&
           !IsBusy();
}

bool TExchangeEngine::WritesPending() const {
    return IsBusy() && std::any_of(FCmdList.begin(), FCmdList.end(),
                                   [](const TCmdItem& cmd) { return cmd.RW != kCmdRead; });
}

void TExchangeEngine::Cancel() {
    AbortBatch(TBatchEnd::Cancelled);
    CancelQueue();
    SetBusy(false);
}

void TExchangeEngine::GiveUp() {
    if (FBatch && FBatch->End == TBatchEnd::NoAnswer && FBatch->Resumable) {
        FBatch->Resumable = false;
        RememberLate();
        ReportBatch();
    }
    DropQueue();
    SetBusy(false);
}

void TExchangeEngine::Interrupt() {
    if (!FBatch || (FBatch->End != TBatchEnd::Running && FBatch->End != TBatchEnd::NoAnswer)) {
        return;
    }
    FStopAfterHead = true;
    if (FBatch->End == TBatchEnd::NoAnswer) {
        StopHere(); // nothing in flight: the unanswered command was given up on already
    }
}

void TExchangeEngine::StopHere() {
    EndBatch(TBatchEnd::Interrupted);
    DropQueue();
    SetBusy(false);
}

void TExchangeEngine::DropQueue() {
    FCmdList.clear();
    FHeadSent = false;
}

void TExchangeEngine::BeginBatch() {
    FBatch = TBatchOutcome{};
    FBatch->Label = std::exchange(FNextLabel, QString());
    FBatch->Total = QueueLength();
    for (const TCmdItem& cmd : FCmdList) {
        ++(cmd.RW == kCmdRead ? FBatch->Reads : FBatch->Writes);
    }
    FBatch->Serial = ++FBatchSerial;
    FStopAfterHead = false;
    FBatchClock.start();
    ReportBatch();
}

// A stopped batch goes on: by Resume, or because the device answered after all.
void TExchangeEngine::ReopenBatch() {
    FBatch->End = TBatchEnd::Running;
    FBatch->Resumable = false;
    FBatch->HeadSent = false;
    FBatch->Pending.clear();
}

void TExchangeEngine::Count(const TCmdAnswer& answer) {
    const TCmdState state = answer.State;
    ++FBatch->Answered;
    FBatch->Confirmed += state == TCmdState::Confirmed ? 1 : 0;
    FBatch->Differs += state == TCmdState::Differs ? 1 : 0;
    FBatch->Unusable += state == TCmdState::Unusable ? 1 : 0;
    FBatch->UnusableWrites += state == TCmdState::Unusable && answer.Cmd.RW != kCmdRead ? 1 : 0;
}

std::optional<QString> TExchangeEngine::Refusal(const TCmdItem& cmd) const {
    if (FCommandRule) {
        if (auto fault = FCommandRule(cmd)) {
            return fault;
        }
    }
    return LineFault(CommandText(cmd), cmd.Args, false,
                     [this](const QString& text) { return FHost.TranslateText(text); });
}

// Never framed: the batch counts it, says why, and goes on without a pause.
bool TExchangeEngine::RefuseHead() {
    if (FCmdList.empty()) {
        return false;
    }
    const TCmdItem head = FCmdList.front();
    const auto fault = Refusal(head);
    if (!fault) {
        return false;
    }
    FCmdList.pop_front();
    FHeadSent = false;
    --FBatchLeft;
    SetProgressCount(FBarTotal - FBatchLeft);
    Log(LogLine("!!", FHost.TranslateText(QString::fromLatin1(kNotSentLogLabel)),
                QString::fromLatin1(CommandText(head))) +
        QStringLiteral(" : ") + EscapeControls(*fault));
    if (FBatch) {
        ++FBatch->Refused;
        if (FBatch->Note.isEmpty()) {
            FBatch->Note = RefusedNote(
                head, *fault, [this](const QString& text) { return FHost.TranslateText(text); });
        }
    }
    Q_EMIT CommandAnswered(TCmdAnswer{head, QByteArray(), TCmdState::Refused, false, *fault});
    return true;
}

TCmdAnswer TExchangeEngine::Answer(const TCmdItem& cmd, const QByteArray& reply, QString fault,
                                   bool late) {
    if (fault.isEmpty() && FReplyRule) {
        fault = FReplyRule(reply).value_or(QString());
    }
    const TCmdState state =
        fault.isEmpty() ? CheckAnswer(cmd, reply, FSameValue) : TCmdState::Unusable;
    if (state == TCmdState::Unusable && FBatch && FBatch->Note.isEmpty()) {
        FBatch->Note = UnusableNote(
            cmd, reply, fault, [this](const QString& text) { return FHost.TranslateText(text); });
    }
    return TCmdAnswer{cmd, reply, state, late, fault};
}

void TExchangeEngine::RecordAnswer(const TCmdItem& head) {
    const TCmdAnswer answer = Answer(head, FReply.Text, FReply.Fault, false);
    if (FBatch) {
        if (FBatch->End == TBatchEnd::NoAnswer) {
            ReopenBatch(); // a late reply takes a stopped batch up again
        }
        Count(answer);
    }
    Q_EMIT CommandAnswered(answer);
}

// A reply to a command its batch gave up on still verifies it; while that batch is the last
// one, its counts follow.
void TExchangeEngine::RecordLateAnswer(const QByteArray& reply) {
    const auto late = std::find_if(FLate.begin(), FLate.end(), [&](const TLateCommand& c) {
        return AnswersCommand(reply, c.Cmd);
    });
    if (late == FLate.end()) {
        return;
    }
    const TLateCommand command = *late;
    FLate.erase(late);
    const TCmdAnswer answer = Answer(command.Cmd, reply, QString(), true);
    if (FBatch && command.Batch == FBatchSerial && FBatch->NotAnswered() > 0) {
        Count(answer);
        FBatch->Pending.removeFirst();
        FBatch->HeadSent = false;
    }
    Q_EMIT CommandAnswered(answer);
    if (FBatch && command.Batch == FBatchSerial) {
        ReportBatch();
    }
}

void TExchangeEngine::RememberLate() {
    if (FHeadSent && !FCmdList.empty()) {
        FLate.push_back({FCmdList.front(), FBatchSerial});
        while (FLate.size() > kLateCommands) {
            FLate.pop_front();
        }
    }
}

// A batch ends once; a stopped one (no answer) can still end otherwise. The command left
// unanswered stays queued while the batch can be resumed; otherwise a late answer to it is
// still awaited, unless the line is gone.
void TExchangeEngine::EndBatch(TBatchEnd end) {
    if (!FBatch || (FBatch->End != TBatchEnd::Running && FBatch->End != TBatchEnd::NoAnswer)) {
        return;
    }
    FBatch->ElapsedMs = FBatchClock.isValid() ? FBatchClock.elapsed() : 0;
    FBatch->End = end;
    FBatch->Pending = QList<TCmdItem>(FCmdList.begin(), FCmdList.end());
    FBatch->HeadSent = FHeadSent && !FCmdList.empty();
    FBatch->Resumable = end == TBatchEnd::NoAnswer && !FCmdList.empty();
    if (end != TBatchEnd::NoAnswer && end != TBatchEnd::LineLost && end != TBatchEnd::PortClosed) {
        RememberLate();
    }
    ReportBatch();
}

void TExchangeEngine::AbortBatch(TBatchEnd end) {
    HandOverSentLine();
    if (end == TBatchEnd::LineLost || end == TBatchEnd::PortClosed) {
        FLate.clear(); // no answer can come on a line that is gone
    }
    EndBatch(end);
}

void TExchangeEngine::ReportBatch() {
    HandOverSentLine();
    if (FBatch) {
        if (FBatch->End == TBatchEnd::Running) {
            FBatch->ElapsedMs = FBatchClock.isValid() ? FBatchClock.elapsed() : 0;
        }
        Q_EMIT BatchChanged(*FBatch);
    }
}

void TExchangeEngine::ResetProgress(bool Restart) {
    if (!Restart) {
        return;
    }
    FBatchLeft = QueueLength();
    SetProgress(QueueLength(), 0);
    QCoreApplication::processEvents();
}

void TExchangeEngine::SetBusy(bool Busy) {
    if (Busy) {
        FHost.SetDeviceButtons(false);
        FOverTimeTicks = 0;
        if (!tmOverTime.isActive()) {
            tmOverTime.start(); // a running timer keeps its ticks
        }
    } else {
        // Device operations make no sense on a closed port, even when a batch ends there.
        FHost.SetDeviceButtons(FPort.IsOpen());
        tmOverTime.stop();
    }
}

void TExchangeEngine::SendCmd(std::int32_t ParamNo, std::uint8_t RW, const QString& Args,
                              std::uint8_t Kind) {
    const TCmdItem cmd{ParamNo, RW, Args, Kind};
    if (const auto fault = Refusal(cmd)) {
        throw TLinkError(*fault);
    }
    FLastRW = RW;
    const QByteArray text = CommandText(cmd);
    if (!WritePort(FrameOrThrow(text))) {
        return;
    }
    // Its line is handed over once the reply has been read, or shortly when none comes: the
    // window's drawing of it must not hold up the reading of the reply.
    HandOverSentLine();
    FSentLine = TSentLine{text, QDateTime::currentMSecsSinceEpoch()};
    tmSentLine.start();
}

void TExchangeEngine::HandOverSentLine() {
    tmSentLine.stop();
    if (const std::optional<TSentLine> sent = std::exchange(FSentLine, std::nullopt)) {
        FHost.AddLog(LogLine(">>", FHost.TranslateText(QStringLiteral("Send")),
                             QString::fromLatin1(sent->Text),
                             QDateTime::fromMSecsSinceEpoch(sent->SentMs)));
    }
}

void TExchangeEngine::Log(const QString& line) {
    HandOverSentLine();
    FHost.AddLog(line);
}

void TExchangeEngine::SendTyped(const QByteArray& text) {
    if (const auto fault = LineFault(text, QString(), true, [this](const QString& line) {
            return FHost.TranslateText(line);
        })) {
        throw TLinkError(*fault);
    }
    const QByteArray frame = FrameOrThrow(text);
    Log(LogLine(">>", FHost.TranslateText(QStringLiteral("Send")), QString::fromLatin1(text)));
    WritePort(frame);
}

QByteArray TExchangeEngine::FrameOrThrow(const QByteArray& text) {
    auto frame = EncodeFrame(text);
    if (!frame) {
        throw TLinkError(QStringLiteral("The command is %1 bytes long; a frame holds at most %2.")
                             .arg(text.size())
                             .arg(kMaxFrameBody));
    }
    return *std::move(frame);
}

bool TExchangeEngine::WritePort(const QByteArray& Frame) {
    if (FPort.IsOpen()) {
        FPort.Write(Frame);
        return true;
    }
    AbortBatch(TBatchEnd::LineLost);
    ClearQueue();
    SetBusy(false);
    return false;
}

void TExchangeEngine::NextCmd() {
    if (FReply.Active && !FReply.AnswersHead) {
        return; // logged and applied, but it is not what the head command waits for
    }
    FReply.AnswersHead = false; // one reply advances the queue once
    --FBatchLeft;
    SetProgressCount(FBarTotal - FBatchLeft);
    if (FCmdList.empty()) {
        SetBusy(false);
        SetProgressCount(0);
        return;
    }
    RecordAnswer(FCmdList.front());
    FCmdList.pop_front();
    FHeadSent = false;
    if (FCmdList.empty()) {
        SetBusy(false);
        SetProgressCount(0);
        EndBatch(TBatchEnd::Complete);
        return;
    }
    ReportBatch();
    if (FStopAfterHead) {
        StopHere();
        return;
    }
    // The pause runs from the reply's reading: the device is given its quiet time all the same,
    // and the time the window takes to show the reply is not added to it.
    const std::chrono::nanoseconds handled(FReply.Active ? FReplyRead.nsecsElapsed() : 0);
    const QPointer<TExchangeEngine> alive(this);
    // The reply has been applied: what happens during the pause (the user typing, say) is not
    // its doing.
    const TReplyContext applied = std::exchange(FReply, TReplyContext{});
    Wait(std::chrono::milliseconds(FPauseMs) - handled);
    if (alive) {
        FReply = applied;
        StartSend(false);
    }
}

void TExchangeEngine::ClearQueue() {
    EndBatch(TBatchEnd::Superseded);
    Log(QString());
    FConsumed += FRxBuffer.size();
    FRxBuffer.clear();
    ForgetArrivals();
    DropQueue();
}

void TExchangeEngine::CancelQueue() {
    DropQueue();
    SetProgress(0, 0);
    FOverTimeTicks = 0;
    tmOverTime.stop();
}

// Reads until the line holds nothing more: bytes that came while a reply was being handled
// (whose notification the line does not repeat) are not left waiting for the next one.
void TExchangeEngine::ComPortRxChar(qint64 Count) {
    // Handling a reply may end the engine's owner (a window closed in a message box, a
    // device whose line went away in the pause).
    const QPointer<TExchangeEngine> alive(this);
    qint64 count = Count > 0 ? Count : FPort.BytesWaiting();
    while (count > 0) {
        const QByteArray bytes = FPort.Read(count);
        if (bytes.isEmpty()) {
            break;
        }
        FReplyRead.start();
        HandOverSentLine();
        FReceived += bytes.size();
        FRxBuffer.append(bytes);
        FArrivals.push_back({FReceived, QDateTime::currentDateTime()});
        ProcessRxBuffer();
        if (!alive) {
            return;
        }
        BoundRxBuffer();
        count = FPort.IsOpen() ? FPort.BytesWaiting() : 0;
    }
}

void TExchangeEngine::ProcessRxBuffer() {
    static const QString kLabels[] = {QStringLiteral("Read"), QStringLiteral("Write")};
    QByteArray text;
    // A dropped frame does not end the loop: a real reply behind it must not wait for
    // bytes that may never come.
    while (HasCompleteFrame(FRxBuffer)) {
        const qsizetype before = FRxBuffer.size();
        const bool framed = ExtractFrame(FRxBuffer, text);
        const qsizetype taken = before - FRxBuffer.size();
        const QDateTime arrived = ArrivalOf(FConsumed + taken);
        FConsumed += taken;
        ForgetArrivals();
        if (!framed) {
            continue;
        }
        Log(LogLine("<<", FHost.TranslateText(kLabels[FLastRW == kCmdRead ? 0 : 1]),
                    QString::fromLatin1(text), arrived));
        const bool answersHead = !FCmdList.empty() && AnswersCommand(text, FCmdList.front());
        const QPointer<TExchangeEngine> alive(this);
        const TReplyContext outer =
            std::exchange(FReply, TReplyContext{true, answersHead, text, QString()});
        bool applied = false;
        QString unapplied;
        try {
            FHost.HandleReply(text);
            applied = true;
        } catch (const std::exception& error) {
            unapplied = QString::fromStdString(error.what());
        } catch (...) {
            unapplied = QStringLiteral("the reply cannot be applied");
        }
        if (!alive) {
            return;
        }
        // The device answered, with something that cannot be applied: the command is answered
        // unusably, and the batch goes on.
        if (!applied && FReply.AnswersHead) {
            FReply.Fault = FReplyRule ? FReplyRule(text).value_or(unapplied) : unapplied;
            NextCmd();
            if (!alive) {
                return;
            }
        }
        FReply = outer;
        if (applied && !answersHead) {
            RecordLateAnswer(text);
        }
    }
}

QDateTime TExchangeEngine::ArrivalOf(qint64 received) {
    const auto read = std::find_if(FArrivals.begin(), FArrivals.end(),
                                   [received](const TArrival& a) { return a.End >= received; });
    return read == FArrivals.end() ? QDateTime::currentDateTime() : read->When;
}

void TExchangeEngine::ForgetArrivals() {
    while (!FArrivals.empty() && FArrivals.front().End <= FConsumed) {
        FArrivals.pop_front();
    }
}

void TExchangeEngine::BoundRxBuffer() {
    const qsizetype before = FRxBuffer.size();
    // Bytes before the first delimiter can never become part of a reply text.
    const qsizetype start = FRxBuffer.indexOf('!');
    if (start < 0) {
        FRxBuffer.clear();
    } else {
        FRxBuffer.remove(0, start);
    }
    // No frame of the device comes near this size: what follows an unanswered start
    // delimiter for this long is noise.
    if (FRxBuffer.size() > kRxBufferLimit) {
        FRxBuffer.clear();
    }
    FConsumed += before - FRxBuffer.size();
    ForgetArrivals();
}

void TExchangeEngine::tmOverTimeTimer() {
    HandOverSentLine();
    ++FOverTimeTicks;
    if (FOverTimeTicks < kOverTimeTicks) {
        return;
    }
    // A reply that has arrived is never timed out, even when its notification did not come.
    if (FPort.IsOpen() && FPort.BytesWaiting() > 0) {
        const QPointer<TExchangeEngine> alive(this);
        ComPortRxChar(0);
        if (!alive || !IsBusy() || FOverTimeTicks < kOverTimeTicks) {
            return;
        }
    }
    SetBusy(false);
    if (!FCmdList.empty()) {
        Log(LogLine("!!", FHost.TranslateText(QString::fromLatin1(kNoAnswerLogLabel)),
                    QString::fromLatin1(CommandText(FCmdList.front()))));
    }
    if (FStopAfterHead) {
        StopHere();
        return;
    }
    EndBatch(TBatchEnd::NoAnswer);
    Q_EMIT BatchTimedOut();
}

void TExchangeEngine::Wait(std::chrono::nanoseconds length) {
    // Events keep flowing during the pause, so a reply can be handled inside it. The event
    // loop's timers wake a millisecond or two late: the last moments are slept instead, and
    // the very last are waited out awake, as a sleep overruns by a tenth of a millisecond.
    constexpr std::chrono::milliseconds kSlept(3);
    constexpr std::chrono::microseconds kAwake(200);
    const QDeadlineTimer deadline(length, Qt::PreciseTimer);
    if (length > kSlept) {
        QEventLoop loop;
        QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(length - kSlept),
                           Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::this_thread::sleep_for(std::chrono::nanoseconds(deadline.remainingTimeNSecs()) - kAwake);
    while (!deadline.hasExpired()) {
        std::this_thread::yield();
    }
}

void TExchangeEngine::SetProgress(int total, int count) {
    FBarTotal = std::max(0, total);
    FBarCount = std::clamp(count, 0, FBarTotal);
    FHost.ShowProgress(FBarTotal, FBarCount);
}

QString TExchangeEngine::LogLine(const char* direction, const QString& label, const QString& text,
                                 const QDateTime& when) {
    const QString stamp = QLocale::system().toString(when.date(), QLocale::ShortFormat) +
                          QLatin1Char(' ') + when.time().toString(QStringLiteral("HH:mm:ss"));
    return QStringLiteral("%1 %2 %3 : %4")
        .arg(stamp, QLatin1String(direction), label, EscapeControls(text));
}
