#pragma once

#include "uCommPort.h"

#include <QList>
#include <QStringList>

// A serial line for tests: feed it received bytes, read what was written, make an open
// or a write fail, or pull the plug.
class TFakeCommPort : public ICommPort {
    Q_OBJECT
public:
    using ICommPort::ICommPort;

    void SetPortName(const QString& name) override { FName = name; }
    void SetBaudRate(int baud) override { FBaud = baud; }
    QString PortName() const override { return FName; }
    int BaudRate() const override { return FBaud; }
    void Open() override;
    void Close() override;
    bool IsOpen() const override { return FOpen; }
    void Write(const QByteArray& bytes) override;
    QByteArray Read(qint64 count) override;
    qint64 BytesWaiting() const override { return FRx.size(); }

    // Bytes arrive from the device and the receive notification is raised (unless Hold).
    void Feed(const QByteArray& bytes);
    // The device vanishes: the port closes and reports the lost line.
    void Unplug(const QString& error = QStringLiteral("Resource error"));

    // The command texts of the frames written so far, in order; "<not a frame>" for a write
    // that holds none.
    QStringList WrittenTexts() const;

    QList<QByteArray> Written; // one entry per Write call
    QString FailOpenWith;      // non-empty: Open throws this text
    QString FailWriteWith;     // non-empty: Write throws this text
    int OpenCount = 0;
    bool Hold = false; // Feed keeps the bytes waiting without the receive notification

private:
    QString FName;
    int FBaud = 9600;
    bool FOpen = false;
    QByteArray FRx;
};
