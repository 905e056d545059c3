// The records tervo-cli keeps of its jobs against tervo-devsim processes, and `tervo-cli
// records`, on an SQLite file and on a PostgreSQL server of the test's own. The program is
// copied into the test's folder, so its data folder (default database, spool) is the test's.
#include "CliTestSupport.h"
#include "PrivatePostgres.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTemporaryDir>

namespace {

const QByteArray kTemplate = "[Params]\r\nP03=+8613800138000\r\nP17=VAN_42\r\n";

enum class TBackend { SQLite, PostgreSQL };

class CliRecords : public ::testing::TestWithParam<TBackend> {
protected:
    static void SetUpTestSuite() { Server = new TPrivatePostgres; }
    static void TearDownTestSuite() {
        delete Server;
        Server = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(QFile::copy(QStringLiteral(TERVO_CLI), FCli));
        WriteFile(Path("van.snapshot"), kTemplate);
        if (GetParam() == TBackend::SQLite) {
            FUrl = Path("records.sqlite");
            return;
        }
        if (!Server->Running()) {
            ASSERT_EQ(Server->Start(), QString());
        }
        const QString name = QStringLiteral("cli%1").arg(++Databases);
        ASSERT_EQ(Server->CreateDatabase(name), QString());
        FUrl = Server->Url(name);
    }

    QString Path(const char* name) const { return FDir.filePath(QLatin1String(name)); }
    TRun Cli(const QStringList& arguments) const { return RunCli(arguments, FCli); }
    // Every record, newest first.
    QJsonArray Records(const QStringList& filter = {}) const {
        const TRun run =
            Cli(QStringList{"records", "--records", FUrl, "--format", "json"} + filter);
        EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
        return QJsonDocument::fromJson(run.Out.toUtf8()).array();
    }

    static inline TPrivatePostgres* Server = nullptr;
    static inline int Databases = 0;
    QTemporaryDir FDir;
    QString FCli = FDir.filePath(QStringLiteral("tervo-cli"));
    QString FUrl;
};

QStringList Column(const QJsonArray& records, const char* key) {
    QStringList values;
    for (const QJsonValue& record : records) {
        values.append(record[QLatin1String(key)].toString());
    }
    return values;
}

} // namespace

TEST_P(CliRecords, EveryJobLeavesARecordPerDeviceThatRecordsLists) {
    TDevSim good({"--id", "101"});
    TDevSim lost({"--id", "102", "--hangup-after", "1"});
    ASSERT_EQ(Cli({"backup", "--quiet", "--records", FUrl, "--port", good.Path(), "--out",
                   Path("b.snapshot")})
                  .Status,
              0);
    EXPECT_EQ(Cli({"restore", "--quiet", "--records", FUrl, "--port", good.Path(), "--port",
                   lost.Path(), "--report", Path("report.json"), Path("van.snapshot")})
                  .Status,
              3);
    EXPECT_EQ(
        Cli({"verify", "--quiet", "--records", FUrl, "--port", good.Path(), Path("van.snapshot")})
            .Status,
        0);

    const QJsonArray all = Records();
    ASSERT_EQ(all.size(), 4);
    EXPECT_EQ(Column(all, "operation"), QStringList({"verify", "restore", "restore", "backup"}));
    const QJsonObject backup = all[3].toObject();
    EXPECT_EQ(backup["device_id"].toString(), "101");
    EXPECT_EQ(backup["firmware"].toString(), "TERVO_SIM_V1.0");
    EXPECT_EQ(backup["detail"].toString(), "saved to " + Path("b.snapshot"));
    for (const QJsonValue& record : all) {
        EXPECT_EQ(record["station"].toString(), QSysInfo::machineHostName());
        EXPECT_EQ(record["program"].toString(), "tervo-cli");
        EXPECT_FALSE(record["user"].toString().isEmpty());
        EXPECT_FALSE(record["version"].toString().isEmpty());
        EXPECT_TRUE(record["time"].toString().endsWith('Z'));
        EXPECT_GT(record["duration_ms"].toInteger(), 0);
    }
    // Each restored device: the template, its result, and the per-key states of the report.
    const QJsonArray reported =
        QJsonDocument::fromJson(ReadFile(Path("report.json"))).object()["devices"].toArray();
    const QString sha = QCryptographicHash::hash(kTemplate, QCryptographicHash::Sha256).toHex();
    for (const QJsonValue& device : reported) {
        const QJsonArray restored =
            Records({"--operation", "restore", "--id", device["id"].toString()});
        ASSERT_EQ(restored.size(), 1) << device["id"].toString().toStdString();
        EXPECT_EQ(restored[0]["port"], device["port"]);
        EXPECT_EQ(restored[0]["result"], device["result"]);
        EXPECT_EQ(restored[0]["states"], device["params"]);
        EXPECT_EQ(restored[0]["template"].toString(), "van.snapshot");
        EXPECT_EQ(restored[0]["template_sha256"].toString(), sha);
    }
    EXPECT_EQ(Column(Records({"--result", "line-error"}), "device_id"), QStringList({"102"}));

    // Filters and formats.
    const TRun table = Cli({"records", "--records", FUrl, "--id", "101"});
    EXPECT_EQ(table.Status, 0);
    EXPECT_EQ(table.Out.count('\n'), 4) << table.Out.toStdString(); // a heading, three rows
    EXPECT_TRUE(table.Out.startsWith("Time (UTC)")) << table.Out.toStdString();
    const TRun csv =
        Cli({"records", "--records", FUrl, "--operation", "verify", "--format", "csv"});
    EXPECT_EQ(csv.Status, 0);
    const QStringList lines = csv.Out.split("\r\n");
    ASSERT_EQ(lines.size(), 3); // heading, one record, the empty rest after the last CR LF
    EXPECT_EQ(lines[0], "uid,time,station,user,program,version,port,device_id,firmware,alias,"
                        "operation,template,template_sha256,values_row,result,detail,states,"
                        "duration_ms");
    EXPECT_TRUE(lines[1].contains(",verify,van.snapshot," + sha + ",,confirmed,,\"{\"\"P03\"\":"))
        << lines[1].toStdString();
    EXPECT_EQ(Column(Records({"--since", QDate::currentDate().addDays(-1).toString(Qt::ISODate),
                              "--operation", "backup"}),
                     "operation"),
              QStringList({"backup"}));
    const TRun none =
        Cli({"records", "--records", FUrl, "--until", "2000-01-01", "--format", "json"});
    EXPECT_EQ(none.Status, 1);
    EXPECT_EQ(QJsonDocument::fromJson(none.Out.toUtf8()).array().size(), 0);
    for (const QStringList& wrong :
         {QStringList{"--format", "xml"}, QStringList{"--since", "soon"}, QStringList{"--id"}}) {
        EXPECT_EQ(Cli(QStringList{"records", "--records", FUrl} + wrong).Status, 2)
            << wrong.join(' ').toStdString();
    }
    // A listing creates nothing.
    const QString nowhere = FDir.filePath("nowhere/records.sqlite");
    const TRun missing = RunCli({"records", "--records", nowhere});
    EXPECT_EQ(missing.Status, 2);
    EXPECT_EQ(missing.Err,
              "tervo-cli: cannot read the records database " + nowhere + ": no such file\n");
    EXPECT_FALSE(QFileInfo::exists(FDir.filePath("nowhere")));
}

INSTANTIATE_TEST_SUITE_P(Backends, CliRecords,
                         ::testing::Values(TBackend::SQLite, TBackend::PostgreSQL),
                         [](const auto& info) {
                             return info.param == TBackend::SQLite ? "SQLite" : "PostgreSQL";
                         });

class CliRecordsOnServer : public CliRecords {};

// The server stops: the jobs run as ever, their records wait in the spool, which `records`
// shows until the server is back, and then stores once.
TEST_P(CliRecordsOnServer, RecordsWaitInTheSpoolWhileTheServerIsStopped) {
    TDevSim first({"--id", "201"});
    TDevSim second({"--id", "202"});
    Server->Stop();
    const TRun restore = Cli({"restore", "--quiet", "--records", FUrl, "--port", first.Path(),
                              "--port", second.Path(), Path("van.snapshot")});
    EXPECT_EQ(restore.Status, 0);
    EXPECT_EQ(restore.Err.count("cannot be written"), 1) << restore.Err.toStdString();
    EXPECT_TRUE(restore.Err.contains(Path("records-spool.jsonl"))) << restore.Err.toStdString();
    EXPECT_EQ(ReadFile(Path("records-spool.jsonl")).count('\n'), 2);

    const TRun away = Cli({"records", "--records", FUrl, "--format", "json"});
    EXPECT_EQ(away.Status, 0);
    EXPECT_TRUE(away.Err.contains("cannot be read")) << away.Err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(away.Out.toUtf8()).array().size(), 2);

    ASSERT_EQ(Server->Start(), QString());
    EXPECT_EQ(Column(Records(), "device_id").size(), 2);
    EXPECT_FALSE(QFile::exists(Path("records-spool.jsonl")));
    EXPECT_EQ(Records().size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Server, CliRecordsOnServer, ::testing::Values(TBackend::PostgreSQL),
                         [](const auto&) { return "PostgreSQL"; });

class CliRecordsFile : public CliRecords {};

// Without --records: the settings file's [records] Database= (the program's own, else the
// window's), else records.sqlite beside the program.
TEST_P(CliRecordsFile, TheSettingsFileOrTheDataFolderNamesTheDatabase) {
    TDevSim device({"--id", "301"});
    const QStringList restore = {"restore", "--quiet", "--port", device.Path(),
                                 Path("van.snapshot")};
    const struct {
        const char* Settings;
        const char* Database;
    } steps[] = {{nullptr, "records.sqlite"},
                 {"tervo-assistant.ini", "window.sqlite"},
                 {"tervo-cli.ini", "own.sqlite"}};
    for (const auto& step : steps) {
        if (step.Settings) {
            WriteFile(Path(step.Settings),
                      QByteArray("[records]\r\nDatabase=") + step.Database + "\r\n");
        }
        ASSERT_EQ(Cli(restore).Status, 0);
        const TRun listed = Cli({"records", "--records", Path(step.Database), "--format", "json"});
        EXPECT_EQ(QJsonDocument::fromJson(listed.Out.toUtf8()).array().size(), 1) << step.Database;
    }
    EXPECT_EQ(Cli({"records", "--id", "301"}).Status, 0); // the own settings file's
}

INSTANTIATE_TEST_SUITE_P(File, CliRecordsFile, ::testing::Values(TBackend::SQLite),
                         [](const auto&) { return "SQLite"; });
