#include "uCliStation.h"

#include "uCliDevice.h"
#include "uCliOptions.h"
#include "uCliRecords.h"
#include "uCliReport.h"
#include "uUtils.h"
#include "uValuesFile.h"

#include <QDateTime>
#include <QTime>
#include <algorithm>
#include <cstdio>
#include <malloc.h>

namespace {

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
    case TProvisionResult::Unusable:
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
      FRecorder(recorder), FWatcher(options.Watch),
      FRunner(options.Quiet, FInterrupt,
              [this](std::unique_ptr<TCliDevice> device) { DeviceEnded(std::move(device)); }) {
    FPlan.Template = templ;
    FPlan.Values = values;
    FPlan.ValuesOptional = options.ValuesOptional;
    FPlan.NeedGps = options.NeedGps;
    FPlan.NeedGsm = options.NeedGsm;
    FPlan.SignalWaitMs = options.SignalWaitSecs * 1000;
    connect(&FWatcher, &TPortWatcher::Appeared, this, &TCliStation::Appeared);
    // A port gone is a device unplugged, also while its line still seems to be there (a link
    // removed, a device that went silent).
    connect(&FWatcher, &TPortWatcher::Vanished, &FRunner, &TCliRunner::Unplug);
    connect(&FInterrupt, &TCliInterrupt::Interrupted, this, &TCliStation::Interrupt);
}

TCliStation::~TCliStation() = default;

int TCliStation::Run() {
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
    if (FRunner.IsRunning(port)) {
        FAgain.insert(port);
        return;
    }
    // One terminal under two names (a link and the terminal) is opened once.
    if (const QString other = FRunner.SameTerminal(port); !other.isEmpty()) {
        if (!FOptions.Quiet) {
            std::fprintf(stderr, "station: %s is %s, already being worked on\n",
                         qPrintable(EscapeControls(port)), qPrintable(EscapeControls(other)));
        }
        return;
    }
    StartDevice(port);
}

void TCliStation::StartDevice(const QString& port) {
    TProvisionPlan plan = FPlan;
    plan.VerifyFirst = FProvisioned;
    FRunner.Start(std::make_unique<TCliDevice>(port, FOptions.Baud, std::move(plan)));
}

void TCliStation::DeviceEnded(std::unique_ptr<TCliDevice> device) {
    Keep(*device);
    if (FStopping) {
        if (FRunner.Running() == 0) {
            FLoop.quit();
        }
        return;
    }
    // A device whose line went is provisioned from the start when its port is there again,
    // also when the watcher never saw it go.
    const bool unplugged =
        device->Outcome() && device->Outcome()->Result == TProvisionResult::Unplugged;
    if (FAgain.remove(device->Port()) || unplugged) {
        FWatcher.Forget(device->Port());
    }
    // A station runs for days, its devices' threads coming and going: the heap they freed goes
    // back to the system, or the resident size creeps up with every device.
    device.reset();
    malloc_trim(0);
}

// One line for the technician, one JSON line for the report, the device's record, and its
// last word for the summary.
void TCliStation::Keep(const TCliDevice& device) {
    const TProvisionOutcome outcome = device.Outcome().value_or(TProvisionOutcome{});
    const TCliResult result{device.Port(), &device.Report(), &outcome};
    std::printf("%s\n", qPrintable(EscapeControls(Line(result.Port, outcome))));
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
    // The runner has passed the signal on to every device.
    if (FRunner.Running() == 0) {
        FLoop.quit();
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
                qPrintable(EscapeControls(group(provisioned))),
                qPrintable(EscapeControls(group(failed))),
                qPrintable(EscapeControls(group(interrupted))));
    std::fflush(stdout);
    return status;
}
