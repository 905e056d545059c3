#pragma once

#include "uCliInterrupt.h"
#include "uCliRunner.h"
#include "uPortWatcher.h"
#include "uProvisionJob.h"

#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <memory>

struct TCliOptions;
class TCliDevice;
class TRecorder;
class TValuesFile;

// tervo-cli station: the bench where trackers are plugged in one after another. Every port
// that appears is provisioned on a thread of its own (identified, given the template with its
// row of the values file, read back, and waited on for its signal when asked, as restore runs
// its devices), with one line
// per device on standard output and one JSON line per outcome in the report. A device
// unplugged midway is provisioned from the start when it comes back; a device that stays
// plugged in is not written again. Runs until SIGINT or SIGTERM, then lets the commands in
// flight end and prints a summary.
class TCliStation : public QObject {
    Q_OBJECT
public:
    // templateBytes: the template file's, for the records; report: opened for appending, or
    // nullptr.
    TCliStation(const TCliOptions& options, const TSnapshot& templ, QByteArray templateBytes,
                const TValuesFile* values, QFile* report, TRecorder& recorder);
    ~TCliStation() override;

    // Until interrupted; the exit status.
    int Run();

private:
    // The last outcome of a device (by ID, or by port before it answered), for the summary.
    struct TLast {
        QString Name;
        TProvisionResult Result;
    };

    void Appeared(const QString& port);
    void StartDevice(const QString& port);
    void DeviceEnded(std::unique_ptr<TCliDevice> device);
    void Keep(const TCliDevice& device);
    QString Line(const QString& port, const TProvisionOutcome& outcome) const;
    void Interrupt();
    int Summary() const;

    const TCliOptions& FOptions;
    TProvisionPlan FPlan;
    QByteArray FTemplateBytes;
    QFile* FReport;
    TRecorder& FRecorder;
    TPortWatcher FWatcher;
    TCliInterrupt FInterrupt;
    TCliRunner FRunner;
    QSet<QString> FAgain;     // ports that appeared anew while their device still ran
    QStringList FProvisioned; // devices done in this run, verified before a write
    std::vector<TLast> FLast; // in the order devices were first seen
    bool FStopping = false;
    QEventLoop FLoop;
};
