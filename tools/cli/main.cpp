// tervo-cli: backs up, restores, verifies and compares Tervo trackers from the command line,
// several devices at once. See `tervo-cli --help` and docs/snapshot.md.

#include "uAtomicFile.h"
#include "uCliDevice.h"
#include "uCliOptions.h"
#include "uCliReport.h"
#include "uSnapshot.h"
#include "uSnapshotDiff.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kFileError = 2;

void PrintError(const QString& text) {
    std::fprintf(stderr, "tervo-cli: %s\n", qPrintable(text));
}

QString Shown(const std::optional<QString>& value) {
    return value ? *value : QStringLiteral("(not in the file)");
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
                    qPrintable(Shown(row.A)), qPrintable(Shown(row.B)));
    }
    return rows.empty() ? 0 : 1;
}

TCliDevice::TJob JobOf(const QString& command) {
    if (command == QLatin1String("backup")) {
        return TCliDevice::TJob::Backup;
    }
    return command == QLatin1String("restore") ? TCliDevice::TJob::Restore
                                               : TCliDevice::TJob::Verify;
}

// Every device on a thread of its own; returns when all of them are done.
std::vector<std::unique_ptr<TCliDevice>> RunDevices(const TCliOptions& options,
                                                    const TSnapshot& snapshot) {
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
        QObject::connect(device.get(), &TCliDevice::Done, &loop,
                         [&running, &loop, thread = thread.get()] {
                             thread->quit();
                             if (--running == 0) {
                                 loop.quit();
                             }
                         });
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
    if (options->Command == QLatin1String("diff")) {
        return RunDiff(*options);
    }
    TSnapshot snapshot;
    if (!options->Files.isEmpty()) {
        // A snapshot that cannot be read sends nothing to any device.
        if (const auto loadError = snapshot.Load(options->Files.first())) {
            PrintError(*loadError);
            return kFileError;
        }
    }

    const auto devices = RunDevices(*options, snapshot);
    std::vector<TCliResult> results;
    for (const auto& device : devices) {
        results.push_back({device->Port(), &device->Report()});
        if (!options->Quiet) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(device->Port()),
                         qPrintable(CliSummary(device->Report())));
        }
    }
    const int status = CliExitStatus(results);
    if (options->Command == QLatin1String("backup") && status == 0) {
        if (const auto saveError = devices.front()->Backup().Save(options->Out)) {
            PrintError(*saveError);
            return kFileError;
        }
        if (!options->Quiet) {
            std::fprintf(stderr, "%s: saved %s\n", qPrintable(devices.front()->Port()),
                         qPrintable(options->Out));
        }
    }
    if (!options->Report.isEmpty()) {
        if (const auto reportError = WriteFileAtomic(options->Report, CliReportJson(results))) {
            PrintError(*reportError);
            return kFileError;
        }
    }
    return status;
}
