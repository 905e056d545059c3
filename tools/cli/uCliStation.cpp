#include "uCliStation.h"

#include "uCliDevice.h"
#include "uCliOptions.h"
#include "uCliRecords.h"
#include "uCliReport.h"
#include "uValuesFile.h"

#include <QDateTime>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// SIGINT and SIGTERM reach the event loop through this pipe.
int gStopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(gStopPipe[1], &byte, 1);
}

QString Seconds(qint64 ms) {
    return QString::number(double(ms) / 1000.0, 'f', 1);
}

QString Progress(const TProvisionOutcome& outcome, const char* what) {
    return outcome.Planned > 0
               ? QStringLiteral("%1 after %2 of %3 commands")
                     .arg(QLatin1String(what))
                     .arg(outcome.Answered)
                     .arg(outcome.Planned)
               : QStringLiteral("%1 before it was identified").arg(QLatin1String(what));
}

// What happened, in the technician's words.
QString Account(const TProvisionOutcome& outcome) {
    const auto differing = [&outcome] {
        QStringList keys;
        for (const TParamCheck& check : outcome.Report.Params) {
            if (check.State != TParamState::Confirmed) {
                keys.append(check.Key);
            }
        }
        return keys;
    };
    const qsizetype values = outcome.Report.Params.size();
    switch (outcome.Result) {
    case TProvisionResult::Confirmed:
        return QStringLiteral("provisioned: %1 values written and confirmed").arg(values);
    case TProvisionResult::AlreadyDone:
        return QStringLiteral("already provisioned: its %1 values confirmed, nothing written")
            .arg(values);
    case TProvisionResult::Differs:
        return QStringLiteral("failed: %1 of %2 values differ (%3)")
            .arg(differing().size())
            .arg(values)
            .arg(differing().join(QStringLiteral(", ")));
    case TProvisionResult::NotNamed:
        return QStringLiteral("not written: %1").arg(outcome.Error);
    case TProvisionResult::WeakSignal:
        return QStringLiteral("failed: %1 values written and confirmed, but the signal is too "
                              "weak: %2")
            .arg(values)
            .arg(outcome.Error);
    case TProvisionResult::Unplugged:
        return Progress(outcome, "unplugged");
    case TProvisionResult::NoAnswer:
        return QStringLiteral("failed: device not answering: %1").arg(outcome.Error);
    case TProvisionResult::LineError:
        return QStringLiteral("failed: %1").arg(outcome.Error);
    case TProvisionResult::Interrupted:
        return Progress(outcome, "interrupted");
    }
    return QString();
}

bool Provisioned(TProvisionResult result) {
    return result == TProvisionResult::Confirmed || result == TProvisionResult::AlreadyDone;
}

} // namespace

TCliStation::TCliStation(const TCliOptions& options, const TSnapshot& templ,
                         QByteArray templateBytes, const TValuesFile* values, QFile* report,
                         TRecorder& recorder)
    : FOptions(options), FTemplateBytes(std::move(templateBytes)), FReport(report),
      FRecorder(recorder), FWatcher(options.Watch) {
    FPlan.Template = templ;
    FPlan.Values = values;
    FPlan.ValuesOptional = options.ValuesOptional;
    FPlan.NeedGps = options.NeedGps;
    FPlan.NeedGsm = options.NeedGsm;
    FPlan.SignalWaitMs = options.SignalWaitSecs * 1000;
    connect(&FWatcher, &TPortWatcher::Appeared, this, &TCliStation::Appeared);
}

TCliStation::~TCliStation() = default;

int TCliStation::Run() {
    if (::pipe(gStopPipe) != 0) {
        std::fprintf(stderr, "tervo-cli: cannot set up the stop signal\n");
        return 2;
    }
    FStopNotifier = std::make_unique<QSocketNotifier>(gStopPipe[0], QSocketNotifier::Read);
    connect(FStopNotifier.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(gStopPipe[0], &byte, 1);
        Interrupt();
    });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int stop : {SIGINT, SIGTERM}) {
        ::sigaction(stop, &action, nullptr);
    }
    if (!FOptions.Quiet) {
        std::fprintf(stderr, "station: waiting for trackers on %s; Ctrl+C ends\n",
                     FOptions.Watch.isEmpty()
                         ? "the system's serial ports"
                         : qPrintable(FOptions.Watch.join(QStringLiteral(", "))));
    }
    FWatcher.Start();
    FLoop.exec();
    return Summary();
}

void TCliStation::Appeared(const QString& port) {
    if (FStopping) {
        return;
    }
    const auto running = FRunning.find(port);
    if (running != FRunning.end()) {
        running->second.Again = true;
        return;
    }
    StartDevice(port);
}

void TCliStation::StartDevice(const QString& port) {
    TProvisionPlan plan = FPlan;
    plan.VerifyFirst = FProvisioned;
    TRunning running{std::make_unique<TCliDevice>(port, FOptions.Baud, std::move(plan)),
                     std::make_unique<QThread>()};
    TCliDevice* device = running.Device.get();
    QThread* thread = running.Thread.get();
    device->moveToThread(thread);
    connect(thread, &QThread::started, device, &TCliDevice::Run);
    connect(thread, &QThread::finished, device, &TCliDevice::Release, Qt::DirectConnection);
    if (!FOptions.Quiet) {
        connect(device, &TCliDevice::Progress, this, [](const QString& name, const QString& text) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(text));
        });
    }
    connect(device, &TCliDevice::Done, this, [this, port] { DeviceDone(port); });
    FRunning.emplace(port, std::move(running));
    thread->start();
}

void TCliStation::DeviceDone(const QString& port) {
    const auto it = FRunning.find(port);
    if (it == FRunning.end()) {
        return;
    }
    TRunning running = std::move(it->second);
    FRunning.erase(it);
    running.Thread->quit();
    running.Thread->wait();
    Keep(*running.Device);
    const TProvisionOutcome outcome = running.Device->Outcome().value_or(TProvisionOutcome{});
    running.Device.reset();
    if (FStopping) {
        if (FRunning.empty()) {
            FLoop.quit();
        }
        return;
    }
    // A device whose line went is provisioned from the start when its port is there again,
    // also when the watcher never saw it go.
    if (outcome.Result == TProvisionResult::Unplugged || running.Again) {
        FWatcher.Forget(port);
    }
}

// One line for the technician, one JSON line for the report, the device's record, and its
// last word for the summary.
void TCliStation::Keep(const TCliDevice& device) {
    const TProvisionOutcome outcome = device.Outcome().value_or(TProvisionOutcome{});
    const TCliResult result{device.Port(), &device.Report(), &outcome};
    std::printf("%s\n", qPrintable(Line(result.Port, outcome)));
    std::fflush(stdout);
    if (FReport) {
        TJsonFields first = {
            {QStringLiteral("format"), kCliReportFormat},
            {QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs)},
            {QStringLiteral("elapsed_ms"), outcome.ElapsedMs}};
        if (outcome.Status) {
            first.append({QStringLiteral("gps"), outcome.Status->Gps.value_or(-1)});
            first.append({QStringLiteral("gsm"), outcome.Status->Gsm.value_or(-1)});
        }
        FReport->write(CliDeviceLine(first, result) + '\n');
        FReport->flush();
    }
    KeepCliRecords(FRecorder, {CliJobRecord(FOptions, device, FTemplateBytes)});
    const QString name = outcome.Id.isEmpty() ? result.Port : outcome.Id;
    if (Provisioned(outcome.Result) && !FProvisioned.contains(outcome.Id)) {
        FProvisioned.append(outcome.Id);
    }
    const auto last = std::find_if(FLast.begin(), FLast.end(),
                                   [&name](const TLast& seen) { return seen.Name == name; });
    if (last == FLast.end()) {
        FLast.push_back({name, outcome.Result});
    } else {
        last->Result = outcome.Result;
    }
}

QString TCliStation::Line(const QString& port, const TProvisionOutcome& outcome) const {
    QString line = QStringLiteral("%1 %2 on %3: %4")
                       .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")),
                            outcome.Id.isEmpty() ? QStringLiteral("(no ID)")
                                                 : QStringLiteral("ID %1").arg(outcome.Id),
                            port, Account(outcome));
    if (!outcome.ValuesText().isEmpty() && outcome.Result != TProvisionResult::NotNamed) {
        line += QStringLiteral("; values from %1").arg(outcome.ValuesText());
    }
    if (outcome.Status && (FPlan.NeedGps || FPlan.NeedGsm) &&
        outcome.Result == TProvisionResult::Confirmed) {
        line += QStringLiteral("; GPS %1, GSM %2")
                    .arg(outcome.Status->Gps.value_or(-1))
                    .arg(outcome.Status->Gsm.value_or(-1));
    }
    return line + QStringLiteral("; %1 s").arg(Seconds(outcome.ElapsedMs));
}

void TCliStation::Interrupt() {
    if (FStopping) {
        return;
    }
    FStopping = true;
    FWatcher.Stop();
    if (!FOptions.Quiet) {
        std::fprintf(stderr, "station: stopping; the commands in flight end first\n");
    }
    if (FRunning.empty()) {
        FLoop.quit();
        return;
    }
    for (const auto& [port, running] : FRunning) {
        QMetaObject::invokeMethod(running.Device.get(), &TCliDevice::Interrupt,
                                  Qt::QueuedConnection);
    }
}

// Provisioned, failed and interrupted devices by ID; the exit status: 0 when every device
// seen was provisioned, 1 when the worst only differs, 3 otherwise.
int TCliStation::Summary() const {
    QStringList provisioned;
    QStringList failed;
    QStringList interrupted;
    int status = 0;
    for (const TLast& last : FLast) {
        if (Provisioned(last.Result)) {
            provisioned.append(last.Name);
        } else if (last.Result == TProvisionResult::Interrupted) {
            interrupted.append(last.Name);
            status = 3;
        } else {
            failed.append(last.Name);
            status = std::max(status, last.Result == TProvisionResult::Differs ? 1 : 3);
        }
    }
    const auto group = [](const QStringList& names) {
        return names.isEmpty() ? QStringLiteral("0")
                               : QStringLiteral("%1 (%2)")
                                     .arg(names.size())
                                     .arg(names.join(QStringLiteral(", ")));
    };
    std::printf("station summary: provisioned %s; failed %s; interrupted %s\n",
                qPrintable(group(provisioned)), qPrintable(group(failed)),
                qPrintable(group(interrupted)));
    std::fflush(stdout);
    return status;
}
