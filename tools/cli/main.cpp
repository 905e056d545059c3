// tervo-cli: backs up, restores, verifies and compares Tervo trackers from the command line,
// several devices at once, and moves a snapshot's geo-fences to and from GIS files. See
// `tervo-cli --help` and docs/snapshot.md.

#include "uAtomicFile.h"
#include "uCliDevice.h"
#include "uCliInterrupt.h"
#include "uCliOptions.h"
#include "uCliRecords.h"
#include "uCliReport.h"
#include "uCliScan.h"
#include "uFenceExchange.h"
#include "uRecorder.h"
#include "uSnapshot.h"
#include "uSnapshotDiff.h"

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

// Every device on a thread of its own; returns when all of them are done. Each device's end is
// told at once; a signal stops every device after its command in flight.
std::vector<std::unique_ptr<TCliDevice>>
RunDevices(const TCliOptions& options, const TSnapshot& snapshot, TCliInterrupt& interrupt,
           const std::function<void(TCliDevice&)>& deviceDone) {
    std::vector<std::unique_ptr<TCliDevice>> devices;
    std::vector<std::unique_ptr<QThread>> threads;
    QEventLoop loop;
    int running = 0;
    for (const QString& port : options.Ports) {
        auto device = std::make_unique<TCliDevice>(port, options.Baud, JobOf(options.Command),
                                                   snapshot, options.ReadBack);
        auto thread = std::make_unique<QThread>();
        device->moveToThread(thread.get());
        QObject::connect(thread.get(), &QThread::started, device.get(), &TCliDevice::Run);
        QObject::connect(thread.get(), &QThread::finished, device.get(), &TCliDevice::Release,
                         Qt::DirectConnection);
        if (!options.Quiet) {
            QObject::connect(device.get(), &TCliDevice::Progress, &loop,
                             [](const QString& name, const QString& text) {
                                 std::fprintf(stderr, "%s: %s\n", qPrintable(name),
                                              qPrintable(text));
                             });
        }
        QObject::connect(
            device.get(), &TCliDevice::Done, &loop,
            [&running, &loop, &deviceDone, thread = thread.get(), ended = device.get()] {
                thread->quit();
                deviceDone(*ended);
                if (--running == 0) {
                    loop.quit();
                }
            });
        QObject::connect(&interrupt, &TCliInterrupt::Interrupted, device.get(),
                         &TCliDevice::Interrupt);
        ++running;
        devices.push_back(std::move(device));
        threads.push_back(std::move(thread));
    }
    for (const auto& thread : threads) {
        thread->start();
    }
    loop.exec();
    for (const auto& thread : threads) {
        thread->wait();
    }
    return devices;
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
        results.push_back({device.Port(), &device.Report()});
        if (keepEach) {
            (void)WriteFileAtomic(options->Report, CliReportJson(results));
        }
        if (!options->Quiet && device.Opened()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(device.Port()),
                         qPrintable(CliSummary(device.Report())));
        }
    };
    const auto devices = RunDevices(*options, snapshot, interrupt, deviceDone);
    // The final report lists the devices in the command line's order.
    results.clear();
    std::vector<TJobRecord> records;
    for (const auto& device : devices) {
        results.push_back({device->Port(), &device->Report()});
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
