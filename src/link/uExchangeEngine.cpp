#include "uExchangeEngine.h"

#include "uCommPort.h"
#include "uEngineHost.h"
#include "uLinkError.h"
#include "uUtils.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QLocale>
#include <QPointer>
#include <algorithm>
#include <utility>

TExchangeEngine::TExchangeEngine(ICommPort& port, IEngineHost& host, QObject* parent)
    : QObject(parent), FPort(port), FHost(host) {
    tmOverTime.setInterval(1000);
    connect(&tmOverTime, &QTimer::timeout, this, &TExchangeEngine::tmOverTimeTimer);
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
    const TCmdItem head = FCmdList.front();
    SetBusy(true);
    SendCmd(head.ParamNo, head.RW, head.Args, head.Kind);
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
    FBatch->End = TBatchEnd::Running;
    ReportBatch();
    return SendOrAbandon(false);
}

bool TExchangeEngine::CanResume() const {
    return FBatch && FBatch->End == TBatchEnd::NoAnswer && !FCmdList.empty() && !IsBusy();
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

void TExchangeEngine::BeginBatch() {
    FBatch = TBatchOutcome{};
    FBatch->Label = std::exchange(FNextLabel, QString());
    FBatch->Total = QueueLength();
    FBatchClock.start();
    ReportBatch();
}

void TExchangeEngine::RecordAnswer(const TCmdItem& head) {
    const TCmdAnswer answer{head, FReply.Text, CheckWrite(head, FReply.Text)};
    if (FBatch) {
        // A late reply takes a stopped batch up again.
        if (FBatch->End == TBatchEnd::NoAnswer) {
            FBatch->End = TBatchEnd::Running;
        }
        ++FBatch->Answered;
        FBatch->Confirmed += answer.Check == TWriteCheck::Confirmed ? 1 : 0;
        FBatch->Differs += answer.Check == TWriteCheck::Differs ? 1 : 0;
    }
    Q_EMIT CommandAnswered(answer);
}

// A batch ends once; a stopped one (no answer) can still end as cancelled or superseded.
void TExchangeEngine::EndBatch(TBatchEnd end) {
    if (!FBatch || (FBatch->End != TBatchEnd::Running && FBatch->End != TBatchEnd::NoAnswer)) {
        return;
    }
    FBatch->End = end;
    FBatch->Pending = QList<TCmdItem>(FCmdList.begin(), FCmdList.end());
    if (FBatch->Succeeded()) {
        FReply.CompletedBatch = true;
    }
    ReportBatch();
}

void TExchangeEngine::AbortBatch(TBatchEnd end) {
    EndBatch(end);
}

void TExchangeEngine::ReportBatch() {
    if (FBatch) {
        FBatch->ElapsedMs = FBatchClock.isValid() ? FBatchClock.elapsed() : 0;
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
    FLastRW = RW;
    const QByteArray text = CommandText(TCmdItem{ParamNo, RW, Args, Kind});
    WritePort(FrameOrThrow(text));
    FHost.AddLog(LogLine(">>", FHost.TranslateText(QStringLiteral("Send")), text));
}

void TExchangeEngine::SendTyped(const QByteArray& text) {
    const QByteArray frame = FrameOrThrow(text);
    FHost.AddLog(LogLine(">>", FHost.TranslateText(QStringLiteral("Send")), text));
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

void TExchangeEngine::WritePort(const QByteArray& Frame) {
    if (FPort.IsOpen()) {
        FPort.Write(Frame);
        return;
    }
    AbortBatch(TBatchEnd::LineLost);
    ClearQueue();
    SetBusy(false);
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
    if (FCmdList.empty()) {
        SetBusy(false);
        SetProgressCount(0);
        EndBatch(TBatchEnd::Complete);
        return;
    }
    ReportBatch();
    const QPointer<TExchangeEngine> alive(this);
    WaitMs(FPauseMs);
    if (alive) {
        StartSend(false);
    }
}

void TExchangeEngine::ClearQueue() {
    EndBatch(TBatchEnd::Cancelled);
    FHost.AddLog(QString());
    FRxBuffer.clear();
    FCmdList.clear();
}

void TExchangeEngine::CancelQueue() {
    FCmdList.clear();
    SetProgress(0, 0);
    FOverTimeTicks = 0;
    tmOverTime.stop();
}

void TExchangeEngine::ComPortRxChar(qint64 Count) {
    FRxBuffer.append(FPort.Read(Count > 0 ? Count : FPort.BytesWaiting()));
    // Handling a reply may end the engine's owner (a window closed in a message box, a
    // device whose line went away in the pause).
    const QPointer<TExchangeEngine> alive(this);
    ProcessRxBuffer();
    if (alive) {
        BoundRxBuffer();
    }
}

void TExchangeEngine::ProcessRxBuffer() {
    static const QString kLabels[] = {QStringLiteral("Read"), QStringLiteral("Write")};
    QByteArray text;
    // A dropped frame does not end the loop: a real reply behind it must not wait for
    // bytes that may never come.
    while (HasCompleteFrame(FRxBuffer)) {
        if (!ExtractFrame(FRxBuffer, text)) {
            continue;
        }
        FHost.AddLog(
            LogLine("<<", FHost.TranslateText(kLabels[FLastRW == kCmdRead ? 0 : 1]), text));
        const bool answersHead = !FCmdList.empty() && AnswersCommand(text, FCmdList.front());
        const QPointer<TExchangeEngine> alive(this);
        const TReplyContext outer =
            std::exchange(FReply, TReplyContext{true, answersHead, false, text});
        try {
            FHost.HandleReply(text);
        } catch (...) {
            // A reply that cannot be applied does not advance the queue; the time-out
            // ends the batch.
        }
        if (!alive) {
            return;
        }
        FReply = outer;
    }
}

void TExchangeEngine::BoundRxBuffer() {
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
}

void TExchangeEngine::tmOverTimeTimer() {
    ++FOverTimeTicks;
    if (FOverTimeTicks >= kOverTimeTicks) {
        SetBusy(false);
        if (!FCmdList.empty()) {
            FHost.AddLog(LogLine("!!", FHost.TranslateText(QString::fromLatin1(kNoAnswerLogLabel)),
                                 CommandText(FCmdList.front())));
        }
        EndBatch(TBatchEnd::NoAnswer);
        Q_EMIT BatchTimedOut();
    }
}

void TExchangeEngine::WaitMs(int Ms) {
    // Events keep flowing during the pause, so a reply can be handled inside it.
    QEventLoop loop;
    QTimer::singleShot(Ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void TExchangeEngine::SetProgress(int total, int count) {
    FBarTotal = std::max(0, total);
    FBarCount = std::clamp(count, 0, FBarTotal);
    FHost.ShowProgress(FBarTotal, FBarCount);
}

QString TExchangeEngine::LogLine(const char* direction, const QString& label,
                                 const QByteArray& text) const {
    const QDateTime now = QDateTime::currentDateTime();
    const QString stamp = QLocale::system().toString(now.date(), QLocale::ShortFormat) +
                          QLatin1Char(' ') + now.time().toString(QStringLiteral("HH:mm:ss"));
    return QStringLiteral("%1 %2 %3 : %4")
        .arg(stamp, QLatin1String(direction), label, QString::fromLatin1(text));
}
