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

TExchangeEngine::TExchangeEngine(ICommPort& port, IEngineHost& host, QObject* parent)
    : QObject(parent), FPort(port), FHost(host) {
    tmOverTime.setInterval(1000);
    connect(&tmOverTime, &QTimer::timeout, this, &TExchangeEngine::tmOverTimeTimer);
    connect(&FPort, &ICommPort::RxChar, this, &TExchangeEngine::ComPortRxChar);
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
    ResetProgress(Restart);
    if (FCmdList.empty()) {
        SetBusy(false);
        return;
    }
    const TCmdItem head = FCmdList.front();
    SetBusy(true);
    SendCmd(head.ParamNo, head.RW, head.Args, head.Kind);
}

std::optional<QString> TExchangeEngine::StartBatch() {
    try {
        StartSend(true);
    } catch (const TLinkError& error) {
        ClearQueue();
        SetBusy(false);
        return error.Text();
    }
    return std::nullopt;
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
    QByteArray text;
    if (ParamNo == 20) {
        text = QString::asprintf("(P%.2d)", ParamNo).toLatin1();
    } else {
        text =
            QString::asprintf(Kind != 0 ? "(T%.2d,%d" : "(P%.2d,%d", ParamNo, int(RW)).toLatin1() +
            Args.toLatin1() + ')';
    }
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
    ClearQueue();
    SetBusy(false);
}

void TExchangeEngine::NextCmd() {
    --FBatchLeft;
    SetProgressCount(FBarTotal - FBatchLeft);
    if (FCmdList.empty()) {
        SetBusy(false);
        SetProgressCount(0);
        return;
    }
    FCmdList.pop_front();
    if (FCmdList.empty()) {
        SetBusy(false);
        SetProgressCount(0);
        return;
    }
    const QPointer<TExchangeEngine> alive(this);
    WaitMs(FPauseMs);
    if (alive) {
        StartSend(false);
    }
}

void TExchangeEngine::ClearQueue() {
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
    ProcessRxBuffer();
    BoundRxBuffer();
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
        FHost.AddLog(LogLine("<<", FHost.TranslateText(kLabels[FLastRW == 0 ? 0 : 1]), text));
        try {
            FHost.HandleReply(text);
        } catch (...) {
            // A reply that cannot be applied does not advance the queue; the time-out
            // ends the batch.
        }
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
