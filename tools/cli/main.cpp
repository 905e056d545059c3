// tervo-cli: backs up, restores, verifies and compares Tervo trackers from the command line,
// several devices at once, and moves a snapshot's geo-fences to and from GIS files. See
// `tervo-cli --help` and docs/snapshot.md.

#include "uAtomicFile.h"
#include "uCliDevice.h"
#include "uCliInterrupt.h"
#include "uCliOptions.h"
#include "uCliRecords.h"
#include "uCliReport.h"
#include "uCliRunner.h"
#include "uCliScan.h"
#include "uCliStation.h"
#include "uFenceExchange.h"
#include "uRecorder.h"
#include "uSnapshot.h"
#include "uSnapshotDiff.h"
#include "uUtils.h"
#include "uValuesFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kFileError = 2;

void PrintError(const QString& text) {
    std::fprintf(stderr, "tervo-cli: %s\n", qPrintable(text));
}

QString Shown(const std::optional<QString>& value, const QString& fault) {
    return value ? ShownValue(*value, fault) : QStringLiteral("(not in the file)");
}

int RunDiff(const TCliOptions& options) {
    TSnapshot a;
    TSnapshot b;
    for (auto [snapshot, path] :
         {std::pair{&a, options.Files[0]}, std::pair{&b, options.Files[1]}}) {
        if (const auto error = snapshot->Load(path)) {
            PrintError(*error);
            return kFileError;
        }
    }
    const auto rows = CompareSnapshots(a, b);
    for (const TDiffRow& row : rows) {
        std::printf("%s %s\n  A: %s\n  B: %s\n", qPrintable(row.Key), qPrintable(row.Caption),
                    qPrintable(Shown(row.A, row.FaultA)), qPrintable(Shown(row.B, row.FaultB)));
    }
    return rows.empty() ? 0 : 1;
}

QString FenceKey(int number) {
    return QStringLiteral("P08.%1").arg(number);
}

// The snapshot's fences as a table; a fence the snapshot does not have stays empty.
TGeoFenceList FencesOf(const TSnapshot& snapshot) {
    TGeoFenceList fences{};
    for (int number = 1; number <= kGeoFenceCount; ++number) {
        const auto value = snapshot.Param(FenceKey(number));
        fences[number - 1] = value ? TFenceExchange::FromDeviceValue(*value) : TGeoFence();
        fences[number - 1].ID = number;
    }
    return fences;
}

int RunFencesExport(const TCliOptions& options) {
    TSnapshot snapshot;
    if (const auto error = snapshot.Load(options.Files[0])) {
        PrintError(*error);
        return kFileError;
    }
    const TGeoFenceList fences = FencesOf(snapshot);
    if (std::all_of(fences.begin(), fences.end(), [](const TGeoFence& f) { return f.IsEmpty(); })) {
        PrintError(QStringLiteral("%1 holds no geo-fence that is set; nothing written")
                       .arg(options.Files[0]));
        return kFileError;
    }
    const TFenceExport exported = TFenceExchange::ExportFile(options.Files[1], fences);
    // What a file leaves out is said even with --quiet: the fences are not where the user
    // may think.
    for (const QString& leftOut : exported.LeftOut) {
        PrintError(QStringLiteral("left out %1").arg(leftOut));
    }
    if (!exported.Error.isEmpty()) {
        PrintError(exported.Error);
        return kFileError;
    }
    if (!options.Quiet) {
        std::fprintf(stderr, "%s: geo-fences %s\n", qPrintable(options.Files[1]),
                     qPrintable(TFenceExchange::NumberRanges(exported.Numbers)));
    }
    return 0;
}

// Sets the keys of the fences the file describes; every other line of the snapshot stays.
int RunFencesImport(const TCliOptions& options) {
    TSnapshot snapshot;
    if (const auto error = snapshot.Load(options.Files[0])) {
        PrintError(*error);
        return kFileError;
    }
    const TFenceImport import = TFenceExchange::ImportFile(options.Files[1]);
    if (!import.Error.isEmpty()) {
        PrintError(import.Error);
        return kFileError;
    }
    const std::vector<int> numbers = import.Numbers();
    const std::vector<int> replaced = import.Replacing(FencesOf(snapshot));
    for (const TGeoFence& fence : import.Fences) {
        snapshot.SetParam(FenceKey(fence.ID), TFenceExchange::DeviceValue(fence));
    }
    // What the snapshot reader would refuse is not saved.
    if (const auto error = TSnapshot().Parse(snapshot.ToBytes())) {
        PrintError(QStringLiteral("%1 was not changed: %2").arg(options.Files[0], *error));
        return kFileError;
    }
    if (const auto error = snapshot.Save(options.Files[0])) {
        PrintError(*error);
        return kFileError;
    }
    if (!options.Quiet) {
        std::fprintf(stderr, "%s: set geo-fences %s", qPrintable(options.Files[0]),
                     qPrintable(TFenceExchange::NumberRanges(numbers)));
        if (!replaced.empty()) {
            std::fprintf(stderr, " (replaced %s)",
                         qPrintable(TFenceExchange::NumberRanges(replaced)));
        }
        if (!import.Skipped.isEmpty()) {
            std::fprintf(stderr, "; skipped, without a geometry: %s",
                         qPrintable(import.Skipped.join(QStringLiteral(", "))));
        }
        std::fprintf(stderr, "\n");
    }
    return 0;
}

TCliDevice::TJob JobOf(const QString& command) {
    if (command == QLatin1String("backup")) {
        return TCliDevice::TJob::Backup;
    }
    return command == QLatin1String("restore") ? TCliDevice::TJob::Restore
                                               : TCliDevice::TJob::Verify;
}

// Every device on a thread of its own; returns when all of them are done, in the command
// line's order. Each device's end is told at once; a signal stops every device after its
// command in flight. With a values file each device is asked who it is before it gets its row.
std::vector<std::unique_ptr<TCliDevice>>
RunDevices(const TCliOptions& options, const TSnapshot& snapshot, const TValuesFile* values,
           TCliInterrupt& interrupt, const std::function<void(TCliDevice&)>& deviceDone) {
    std::vector<std::unique_ptr<TCliDevice>> devices;
    QEventLoop loop;
    TCliRunner runner(options.Quiet, interrupt, [&](std::unique_ptr<TCliDevice> device) {
        deviceDone(*device);
        devices.push_back(std::move(device));
        if (devices.size() == std::size_t(options.Ports.size())) {
            loop.quit();
        }
    });
    for (const QString& port : options.Ports) {
        if (!values) {
            runner.Start(std::make_unique<TCliDevice>(port, options.Baud, JobOf(options.Command),
                                                      snapshot, options.ReadBack));
            continue;
        }
        TProvisionPlan plan;
        plan.Template = snapshot;
        plan.Values = values;
        plan.ValuesOptional = options.ValuesOptional;
        plan.Write = options.Command == QLatin1String("restore");
        plan.ReadBack = options.ReadBack;
        runner.Start(std::make_unique<TCliDevice>(port, options.Baud, std::move(plan)));
    }
    loop.exec();
    std::sort(devices.begin(), devices.end(), [&options](const auto& a, const auto& b) {
        return options.Ports.indexOf(a->Port()) < options.Ports.indexOf(b->Port());
    });
    return devices;
}

// The report gets one line per device outcome, appended: a station runs for days.
int RunStation(const TCliOptions& options, const TSnapshot& templ, const QByteArray& templateBytes,
               const TValuesFile* values, const TRecordsLocation& records) {
    QFile report(options.Report);
    if (!options.Report.isEmpty()) {
        const bool opened = options.Report == kStandardStream
                                ? report.open(stdout, QIODevice::WriteOnly)
                                : report.open(QIODevice::WriteOnly | QIODevice::Append);
        if (!opened) {
            PrintError(
                QStringLiteral("Cannot write %1: %2").arg(options.Report, report.errorString()));
            return kFileError;
        }
    }
    TRecorder recorder(records);
    TCliStation station(options, templ, templateBytes, values,
                        options.Report.isEmpty() ? nullptr : &report, recorder);
    return station.Run();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tervo-cli"));

    QString error;
    QString help;
    const auto options = ParseCliOptions(app.arguments(), error, help);
    if (!options) {
        if (!help.isEmpty()) {
            std::printf("%s", qPrintable(help));
            return 0;
        }
        PrintError(error);
        return kFileError;
    }
    // Nothing is read from a device, or written anywhere, before every output is known to be
    // writable and none of the inputs.
    if (const auto outputError = CheckOutputs(options->Outputs(), options->Inputs())) {
        PrintError(*outputError);
        return kFileError;
    }
    // The commands on files and records alone, and scan.
    const std::initializer_list<std::pair<const char*, int (*)(const TCliOptions&)>> fileCommands =
        {{"diff", RunDiff},
         {"fences-export", RunFencesExport},
         {"fences-import", RunFencesImport},
         {"scan", RunScan},
         {"records", RunRecords}};
    for (const auto& [name, run] : fileCommands) {
        if (options->Command == QLatin1String(name)) {
            return run(*options);
        }
    }
    // A records address that cannot be used sends nothing to any device either.
    QString recordsError;
    const auto recordsLocation = TRecordsLocation::Configured(options->Records, recordsError);
    if (!recordsLocation) {
        PrintError(recordsError);
        return kFileError;
    }
    TSnapshot snapshot;
    QByteArray snapshotBytes; // for the records: the template's SHA-256
    if (!options->Files.isEmpty()) {
        // A snapshot that cannot be read sends nothing to any device.
        if (const auto loadError = snapshot.Load(options->Files.first())) {
            PrintError(*loadError);
            return kFileError;
        }
        QFile file(options->Files.first());
        snapshotBytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TValuesFile values;
    if (!options->Values.isEmpty()) {
        // A values file with one bad cell sends nothing to any device.
        if (const auto valuesError = values.Load(options->Values)) {
            PrintError(*valuesError);
            return kFileError;
        }
    }
    if (options->Command == QLatin1String("station")) {
        return RunStation(*options, snapshot, snapshotBytes,
                          options->Values.isEmpty() ? nullptr : &values, *recordsLocation);
    }

    TCliInterrupt interrupt;
    QObject::connect(&interrupt, &TCliInterrupt::Interrupted, [&] {
        PrintError(QStringLiteral("%1: stopping each device after its command in flight")
                       .arg(interrupt.SignalName()));
    });
    // As each device ends: its line, and the report of the devices ended so far, so that
    // nothing finished is lost whatever becomes of the others.
    std::vector<TCliResult> results;
    // Standard output, a pipe or a device takes the report once, at the end.
    const QFileInfo reportFile(options->Report);
    const bool keepEach = !options->Report.isEmpty() && options->Report != QLatin1String("-") &&
                          (!reportFile.exists() || reportFile.isFile());
    const auto deviceDone = [&](TCliDevice& device) {
        const auto& outcome = device.Outcome();
        results.push_back({device.Port(), &device.Report(), outcome ? &*outcome : nullptr});
        if (keepEach) {
            (void)WriteFileAtomic(options->Report, CliReportJson(results));
        }
        if (!options->Quiet && device.Opened()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(EscapeControls(device.Port())),
                         qPrintable(EscapeControls(CliSummary(results.back()))));
        }
    };
    const auto devices = RunDevices(
        *options, snapshot, options->Values.isEmpty() ? nullptr : &values, interrupt, deviceDone);
    // The final report lists the devices in the command line's order.
    results.clear();
    std::vector<TJobRecord> records;
    for (const auto& device : devices) {
        const auto& outcome = device->Outcome();
        results.push_back({device->Port(), &device->Report(), outcome ? &*outcome : nullptr});
        records.push_back(CliJobRecord(*options, *device, snapshotBytes));
    }
    int status = CliExitStatus(results);
    if (interrupt.Signal() != 0) {
        status = interrupt.ExitStatus();
        PrintError(QStringLiteral("interrupted by %1: the devices stopped after their commands "
                                  "in flight; what was not sent is listed as not sent")
                       .arg(interrupt.SignalName()));
    }
    if (options->Command == QLatin1String("backup") && interrupt.Signal() != 0) {
        records.front().Detail = QStringLiteral("not saved: interrupted");
    } else if (options->Command == QLatin1String("backup") && status == 0) {
        if (const auto saveError = devices.front()->Backup().Save(options->Out)) {
            PrintError(*saveError);
            records.front().Detail = QStringLiteral("not saved: %1").arg(*saveError);
            status = kFileError;
        } else {
            records.front().Detail = QStringLiteral("saved to %1").arg(options->Out);
            if (!options->Quiet) {
                std::fprintf(stderr, "%s: saved %s\n", qPrintable(devices.front()->Port()),
                             qPrintable(options->Out));
            }
        }
    }
    if (!options->Report.isEmpty()) {
        if (const auto reportError = WriteFileAtomic(options->Report, CliReportJson(results))) {
            PrintError(*reportError);
            status = kFileError;
        }
    }
    TRecorder recorder(*recordsLocation);
    KeepCliRecords(recorder, records);
    return status;
}
