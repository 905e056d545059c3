#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

// SIGINT and SIGTERM as events of the main loop: the first one asks the run to stop after the
// commands in flight (Interrupted), a second one ends the program at once. While it lives.
class TCliInterrupt : public QObject {
    Q_OBJECT
public:
    TCliInterrupt();
    ~TCliInterrupt() override;

    // The signal that came; 0 while none has.
    int Signal() const { return FSignal; }
    // The exit status of a run a signal stopped: 128 + its number (130 for SIGINT, 143 for
    // SIGTERM), as a shell reports a program the signal ended.
    int ExitStatus() const { return 128 + FSignal; }
    // "SIGINT" or "SIGTERM".
    QString SignalName() const;

Q_SIGNALS:
    void Interrupted();

private:
    void Read();

    std::unique_ptr<QSocketNotifier> FNotifier;
    int FSignal = 0;
};
