#include "uQtSerialPort.h"

#include "uLinkError.h"
#include "uPortOpenError.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QThread>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace {

const QString kLineClosed = QStringLiteral("The device closed the line");

} // namespace

TQtSerialPort::TQtSerialPort(QObject* parent) : ICommPort(parent), FPort(this) {
    connect(&FPort, &QSerialPort::readyRead, this,
            [this] { Q_EMIT RxChar(FPort.bytesAvailable()); });
    connect(&FPort, &QSerialPort::errorOccurred, this, &TQtSerialPort::OnError);
}

TQtSerialPort::~TQtSerialPort() {
    // Leaving quietly: no notifications to a window that is going away.
    FPort.disconnect(this);
    FPort.close();
}

TCommPortFactory TQtSerialPort::Factory() {
    return [] { return std::make_unique<TQtSerialPort>(); };
}

void TQtSerialPort::SetPortName(const QString& name) {
    if (!IsOpen()) {
        FName = name;
    }
}

void TQtSerialPort::SetBaudRate(int baud) {
    if (!IsOpen()) {
        FBaud = baud;
    }
}

void TQtSerialPort::Open() {
    if (IsOpen()) {
        return;
    }
    FPort.setPortName(FName);
    FPort.setBaudRate(FBaud);
    FPort.setDataBits(QSerialPort::Data8);
    FPort.setParity(QSerialPort::NoParity);
    FPort.setStopBits(QSerialPort::OneStop);
    FPort.setFlowControl(QSerialPort::NoFlowControl);
    if (!FPort.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = FPort.error();
        const QString reason = FPort.errorString();
        FPort.clearError();
        throw TLinkError(PortOpenErrorText(error, FName, reason));
    }
    // A pseudo-terminal has no modem lines; that is no reason to refuse the port.
    FPort.setDataTerminalReady(true);
    FPort.setRequestToSend(true);
    FPort.clearError();
    FLostError.clear();
#ifdef Q_OS_UNIX
    FHangUpWatch = std::make_unique<QSocketNotifier>(FPort.handle(), QSocketNotifier::Read);
    connect(FHangUpWatch.get(), &QSocketNotifier::activated, this, &TQtSerialPort::CheckHangUp);
#endif
    Q_EMIT AfterOpen();
}

void TQtSerialPort::Close() {
    FHangUpWatch.reset();
    if (FPort.isOpen()) {
        FPort.close();
    }
    Q_EMIT AfterClose();
}

void TQtSerialPort::Write(const QByteArray& bytes) {
    // Written straight through: waiting on the port's own event handling here would
    // deliver receive notifications inside a write.
    if (!FPort.isOpen()) {
        throw TLinkError(FLostError.isEmpty() ? QStringLiteral("The port is closed") : FLostError);
    }
    const int timeoutMs = 1000 + 100 * static_cast<int>(bytes.size());
    if (FPort.write(bytes) != bytes.size()) {
        throw TLinkError(QStringLiteral("Write error: %1").arg(FPort.errorString()));
    }
    QElapsedTimer clock;
    clock.start();
    while (FPort.isOpen() && FPort.bytesToWrite() > 0) {
        if (!FPort.flush() && FPort.bytesToWrite() > 0) {
            if (clock.elapsed() > timeoutMs) {
                throw TLinkError(QStringLiteral("Write time-out after %1 ms").arg(timeoutMs));
            }
            QThread::msleep(1);
        }
    }
    if (!FPort.isOpen()) {
        // The line died under the write.
        throw TLinkError(FLostError.isEmpty() ? QStringLiteral("The port is closed") : FLostError);
    }
}

QByteArray TQtSerialPort::Read(qint64 count) {
    return FPort.read(count);
}

// The port's resource error is the line going away (its device removed, its other end closed)
// as much as the hang-up is; which of the two is noticed first is a matter of timing, so both
// say the same. The port's own words ("Resource temporarily unavailable", "Input/output error")
// would say nothing more.
void TQtSerialPort::OnError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::ResourceError && FPort.isOpen()) {
        FPort.clearError();
        LoseLine(kLineClosed);
    }
}

void TQtSerialPort::CheckHangUp() {
#ifdef Q_OS_UNIX
    pollfd line{static_cast<int>(FPort.handle()), POLLIN, 0};
    if (::poll(&line, 1, 0) == 1 && (line.revents & POLLHUP) != 0) {
        LoseLine(kLineClosed);
    }
#endif
}

void TQtSerialPort::LoseLine(const QString& error) {
    // Close first, so nothing more is written to the dead line.
    FLostError = error;
    Close();
    Q_EMIT LineLost(error);
}
