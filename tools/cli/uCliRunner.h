#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QThread;
class TCliDevice;
class TCliInterrupt;

// The devices of a tervo-cli run, each on a thread of its own with its own port, engine and
// session, so every device keeps the protocol's pacing whatever the others do: restore,
// verify and backup start theirs together, the station each as its port appears. A device's
// end is told on the main thread as soon as it comes; a signal stops every running device
// after its command in flight.
class TCliRunner : public QObject {
    Q_OBJECT
public:
    // Receives each device once its thread has ended; progress lines go to standard error
    // unless quiet.
    using TEnded = std::function<void(std::unique_ptr<TCliDevice>)>;

    TCliRunner(bool quiet, TCliInterrupt& interrupt, TEnded ended);
    ~TCliRunner() override;

    void Start(std::unique_ptr<TCliDevice> device);
    int Running() const { return int(FRunning.size()); }
    bool IsRunning(const QString& port) const;
    // The port of a running device on the same terminal as port under another name; empty
    // when there is none.
    QString SameTerminal(const QString& port) const;
    // The device running on port, if any, stops as unplugged.
    void Unplug(const QString& port);

private:
    struct TRunning {
        std::unique_ptr<TCliDevice> Device;
        std::unique_ptr<QThread> Thread;
    };

    void Ended(TCliDevice* device);

    bool FQuiet;
    TCliInterrupt& FInterrupt;
    TEnded FEnded;
    std::vector<TRunning> FRunning;
};
