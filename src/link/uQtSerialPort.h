#pragma once

#include "uCommPort.h"

#include <QSerialPort>
#include <memory>

class QSocketNotifier;

// The serial line on QSerialPort. Receive notifications arrive on the event thread
// through readyRead.
class TQtSerialPort : public ICommPort {
    Q_OBJECT
public:
    explicit TQtSerialPort(QObject* parent = nullptr);
    ~TQtSerialPort() override;

    void SetPortName(const QString& name) override;
    void SetBaudRate(int baud) override;
    QString PortName() const override { return FName; }
    int BaudRate() const override { return FBaud; }

    void Open() override;
    void Close() override;
    bool IsOpen() const override { return FPort.isOpen(); }
    void Write(const QByteArray& bytes) override;
    QByteArray Read(qint64 count) override;
    qint64 BytesWaiting() const override { return FPort.bytesAvailable(); }

    static TCommPortFactory Factory();

private:
    void OnError(QSerialPort::SerialPortError error);
    void CheckHangUp();
    void LoseLine(const QString& error);

    QSerialPort FPort; // a child object of the line
    // QSerialPort takes the end of a pseudo-terminal (its peer closed) for an empty read
    // and keeps polling; this watch turns the hang-up into a lost line.
    std::unique_ptr<QSocketNotifier> FHangUpWatch;
    QString FLostError;
    QString FName;
    int FBaud = 9600;
};
