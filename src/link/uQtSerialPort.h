#pragma once

#include "uCommPort.h"

#include <QSerialPort>

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

    QSerialPort FPort;
    QString FName;
    int FBaud = 9600;
};
