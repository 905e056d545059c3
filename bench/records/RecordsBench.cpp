// The records database: one record written (a program that keeps its connection, and one that
// opens the database for the record, as a tervo-cli run does), a device's history out of
// 100,000 records (the library's query, and the whole `tervo-cli records --id` run), and 16
// programs writing 1,000 records each to one PostgreSQL database at once. SQLite in a
// temporary folder; PostgreSQL on a private server with fsync on, over its Unix socket.
//
// Usage: bench_records [benchmark options]
#include "PrivatePostgres.h"
#include "uRecorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <vector>

namespace {

constexpr int kHistoryRecords = 100'000;
constexpr int kHistoryDevices = 1'000;
constexpr int kWriters = 16;
constexpr int kRecordsPerWriter = 1'000;

struct TTargets {
    QTemporaryDir Dir;
    TPrivatePostgres Server{true};
    QString ServerError;
    QString Cli; // tervo-cli, when built beside the benchmark
};
TTargets* Targets = nullptr;

TJobRecord Record(int n, const QString& device) {
    TJobRecord record = TJobRecord::Begin();
    record.Port = QStringLiteral("/dev/ttyUSB%1").arg(n % 16);
    record.DeviceId = device;
    record.Firmware = QStringLiteral("V2.3.1");
    record.Alias = QStringLiteral("VAN_%1").arg(n);
    record.Operation = QStringLiteral("restore");
    record.Template = QStringLiteral("fleet.snapshot");
    record.TemplateSha256 = QString(64, QLatin1Char('a'));
    record.Result = QStringLiteral("confirmed");
    record.States = QStringLiteral(R"({"P03":{"device":"+49","sent":"+49","state":"confirmed"}})");
    record.DurationMs = 4500;
    return record;
}

// A fresh database of each kind for each benchmark.
QString Url(bool postgres, const char* name) {
    if (!postgres) {
        return Targets->Dir.filePath(QLatin1String(name) + QStringLiteral(".sqlite"));
    }
    Targets->Server.CreateDatabase(QLatin1String(name));
    return Targets->Server.Url(QLatin1String(name));
}

TRecordsLocation Location(const QString& url) {
    QString error;
    return *TRecordsLocation::Parse(url, error);
}

bool NeedsServer(benchmark::State& state, bool postgres) {
    if (postgres && !Targets->ServerError.isEmpty()) {
        state.SkipWithError(Targets->ServerError.toStdString().c_str());
        return false;
    }
    return true;
}

void BM_RecordOnOpenConnection(benchmark::State& state) {
    const bool postgres = state.range(0) != 0;
    if (!NeedsServer(state, postgres)) {
        return;
    }
    TRecorder recorder(Location(Url(postgres, postgres ? "open_pg" : "open")),
                       Targets->Dir.filePath(QStringLiteral("spool-open.jsonl")));
    int n = 0;
    for (auto _ : state) {
        if (!recorder.Record(Record(n++, QStringLiteral("4711"))).Stored) {
            state.SkipWithError("not stored");
            return;
        }
    }
    state.SetLabel(postgres ? "PostgreSQL" : "SQLite");
}
BENCHMARK(BM_RecordOnOpenConnection)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_RecordOnNewConnection(benchmark::State& state) {
    const bool postgres = state.range(0) != 0;
    if (!NeedsServer(state, postgres)) {
        return;
    }
    const TRecordsLocation location = Location(Url(postgres, postgres ? "new_pg" : "new"));
    int n = 0;
    for (auto _ : state) {
        TRecorder recorder(location, Targets->Dir.filePath(QStringLiteral("spool-new.jsonl")));
        if (!recorder.Record(Record(n++, QStringLiteral("4711"))).Stored) {
            state.SkipWithError("not stored");
            return;
        }
    }
    state.SetLabel(postgres ? "PostgreSQL" : "SQLite");
}
BENCHMARK(BM_RecordOnNewConnection)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 100,000 records of 1,000 devices, once per kind.
QString HistoryUrl(bool postgres) {
    static QString urls[2];
    QString& url = urls[postgres];
    if (!url.isEmpty()) {
        return url;
    }
    url = Url(postgres, postgres ? "history_pg" : "history");
    TRecordStore store(Location(url));
    std::vector<TJobRecord> batch;
    for (int n = 0; n < kHistoryRecords; ++n) {
        batch.push_back(Record(n, QString::number(1'000'000 + n % kHistoryDevices)));
        if (batch.size() == 10'000) {
            if (const auto error = store.Add(batch)) {
                std::fprintf(stderr, "%s\n", qPrintable(*error));
            }
            batch.clear();
        }
    }
    return url;
}

void BM_HistoryOfOneDevice(benchmark::State& state) {
    const bool postgres = state.range(0) != 0;
    if (!NeedsServer(state, postgres)) {
        return;
    }
    TRecordStore store(Location(HistoryUrl(postgres)));
    for (auto _ : state) {
        std::vector<TJobRecord> records;
        const auto error = store.Find({.DeviceId = QStringLiteral("1000500")}, records);
        if (error || records.size() != kHistoryRecords / kHistoryDevices) {
            state.SkipWithError("wrong count");
            return;
        }
    }
    state.SetLabel(postgres ? "PostgreSQL, 100 of 100,000" : "SQLite, 100 of 100,000");
}
BENCHMARK(BM_HistoryOfOneDevice)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The whole command, from starting the process to its exit.
void BM_CliRecordsById(benchmark::State& state) {
    const bool postgres = state.range(0) != 0;
    if (!NeedsServer(state, postgres)) {
        return;
    }
    if (Targets->Cli.isEmpty()) {
        state.SkipWithError("tervo-cli not built");
        return;
    }
    const QString url = HistoryUrl(postgres);
    for (auto _ : state) {
        QProcess cli;
        cli.start(Targets->Cli, {QStringLiteral("records"), QStringLiteral("--records"), url,
                                 QStringLiteral("--id"), QStringLiteral("1000500")});
        if (!cli.waitForFinished(30'000) || cli.exitCode() != 0) {
            state.SkipWithError("tervo-cli records failed");
            return;
        }
    }
    state.SetLabel(postgres ? "PostgreSQL" : "SQLite");
}
BENCHMARK(BM_CliRecordsById)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 16 processes, each with its own connection, 1,000 records each, all at once; then every
// record must be there exactly once.
void BM_SixteenStationsAtOnce(benchmark::State& state) {
    if (!NeedsServer(state, true)) {
        return;
    }
    int round = 0;
    for (auto _ : state) {
        const QString url = Url(true, qPrintable(QStringLiteral("stations%1").arg(round++)));
        std::vector<std::unique_ptr<QProcess>> writers;
        for (int i = 0; i < kWriters; ++i) {
            auto writer = std::make_unique<QProcess>();
            writer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            writer->start(QCoreApplication::applicationFilePath(),
                          {QStringLiteral("--writer"), url, QString::number(i)});
            writers.push_back(std::move(writer));
        }
        bool ok = true;
        for (const auto& writer : writers) {
            ok = writer->waitForFinished(300'000) && writer->exitCode() == 0 && ok;
        }
        state.PauseTiming();
        TRecordStore store(Location(url));
        if (const auto error = store.Open()) {
            state.SkipWithError(error->toStdString().c_str());
            return;
        }
        QSqlQuery count(store.Database());
        count.exec(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT uid), COUNT(DISTINCT alias) "
                                  "FROM records"));
        count.next();
        state.counters["records"] = count.value(0).toInt();
        state.counters["distinct"] = count.value(1).toInt();
        state.counters["expected"] = kWriters * kRecordsPerWriter;
        if (!ok || count.value(0).toInt() != kWriters * kRecordsPerWriter ||
            count.value(2).toInt() != kWriters * kRecordsPerWriter) {
            state.SkipWithError("records lost or doubled");
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SixteenStationsAtOnce)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// One station of BM_SixteenStationsAtOnce: its records, each with an alias of its own.
int RunWriter(const QString& url, int station) {
    TRecorder recorder(Location(url),
                       Targets->Dir.filePath(QStringLiteral("spool-%1.jsonl").arg(station)));
    for (int n = 0; n < kRecordsPerWriter; ++n) {
        TJobRecord record = Record(n, QString::number(2'000'000 + station));
        record.Alias = QStringLiteral("S%1-%2").arg(station).arg(n);
        if (!recorder.Record(record).Stored) {
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TTargets targets;
    Targets = &targets;
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == QLatin1String("--writer")) {
        return RunWriter(arguments.value(2), arguments.value(3).toInt());
    }
    targets.ServerError = targets.Server.Start();
    const QString cli =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../../tools/tervo-cli");
    if (QFile::exists(cli)) {
        targets.Cli = cli;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
