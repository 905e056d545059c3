#include "uPortProbe.h"

#include "uBatchOutcome.h"
#include "uCmdItem.h"
#include "uPortList.h"
#include "uPortOpenError.h"
#include "uUtils.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QThread>
#include <memory>

namespace {

constexpr int kPauseMs = 50;
constexpr int kFirmware = 1;

TPortProbe::TState StateOf(TPortOpenFault fault) {
    switch (fault) {
    case TPortOpenFault::Missing:
        return TPortProbe::TState::Missing;
    case TPortOpenFault::Busy:
        return TPortProbe::TState::Busy;
    case TPortOpenFault::NoPermission:
        return TPortProbe::TState::NoPermission;
    case TPortOpenFault::Other:
        break;
    }
    return TPortProbe::TState::Failed;
}

// Sends the command and waits for the reply that answers it; replies to nothing asked are
// passed over. Empty when the deadline came first or the line failed.
QByteArray Ask(QSerialPort& port, QByteArray& received, const TCmdItem& cmd,
               const QDeadlineTimer& deadline) {
    const QByteArray frame = EncodeFrame(CommandText(cmd)).value();
    if (port.write(frame) != frame.size() ||
        !port.waitForBytesWritten(int(deadline.remainingTime()))) {
        return {};
    }
    while (!deadline.hasExpired()) {
        QByteArray reply;
        while (HasCompleteFrame(received)) {
            if (ExtractFrame(received, reply) && AnswersCommand(reply, cmd)) {
                return reply;
            }
        }
        if (!port.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())))) {
            if (port.error() != QSerialPort::TimeoutError) {
                return {};
            }
            continue;
        }
        received += port.readAll();
    }
    return {};
}

} // namespace

TPortProbe ProbePort(const QString& port, int baud, std::chrono::milliseconds limit) {
    const QDeadlineTimer deadline(limit.count());
    TPortProbe probe;
    probe.Port = port;
    const QString path = PortNameFromField(port);
    QSerialPort line;
    line.setPortName(path);
    line.setBaudRate(baud);
    if (!line.open(QIODevice::ReadWrite)) {
        probe.State = StateOf(PortOpenFault(line.error(), path));
        probe.Error = PortOpenErrorText(line.error(), path, line.errorString());
        return probe;
    }
    QByteArray received;
    const auto status = TStatusReport::FromReply(
        Ask(line, received, TCmdItem{1, kCmdRead, {}, kCmdStatus}, deadline));
    if (!status) {
        return probe;
    }
    probe.State = TPortProbe::TState::Answered;
    probe.Status = *status;
    QThread::msleep(kPauseMs);
    const QByteArray firmware =
        Ask(line, received, TCmdItem{kFirmware, kCmdRead, {}, kCmdParam}, deadline);
    if (!firmware.isEmpty()) {
        probe.Firmware = ReplyValue(firmware);
    }
    return probe;
}

std::vector<TPortProbe> ProbePorts(const QStringList& ports, int baud,
                                   std::chrono::milliseconds limit) {
    std::vector<TPortProbe> probes(ports.size());
    // QThreads: the serial port watches its line with socket notifiers, which need one.
    std::vector<std::unique_ptr<QThread>> threads;
    for (qsizetype i = 0; i < ports.size(); ++i) {
        threads.emplace_back(
            QThread::create([&, i] { probes[i] = ProbePort(ports[i], baud, limit); }));
        threads.back()->start();
    }
    for (const auto& thread : threads) {
        thread->wait();
    }
    return probes;
}
