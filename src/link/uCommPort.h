#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// The serial line as the exchange engine and the window see it. The line settings are
// fixed (8 data bits, no parity, 1 stop bit, no flow control); only the name and the
// baud rate change, and only while closed.
class ICommPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~ICommPort() override = default;

    virtual void SetPortName(const QString& name) = 0;
    virtual void SetBaudRate(int baud) = 0;
    virtual QString PortName() const = 0;
    virtual int BaudRate() const = 0;

    // Throws TLinkError with "cannot open PATH: REASON" (what to do, where the user can act).
    // AfterOpen is raised before it returns.
    virtual void Open() = 0;
    // Raises AfterClose before it returns; closing a closed port is no error.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Returns when every byte has been handed to the line; throws TLinkError otherwise.
    virtual void Write(const QByteArray& bytes) = 0;
    virtual QByteArray Read(qint64 count) = 0;
    virtual qint64 BytesWaiting() const = 0;

Q_SIGNALS:
    void AfterOpen();
    void AfterClose();
    // Bytes have arrived; delivered on the event thread.
    void RxChar(qint64 count);
    // The line vanished while open (device unplugged). The port is closed already when
    // this is raised, so nothing is written to a dead line.
    void LineLost(const QString& error);
};

using TCommPortFactory = std::function<std::unique_ptr<ICommPort>()>;
