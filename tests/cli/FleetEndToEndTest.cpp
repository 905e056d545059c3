// The fleet bench from the command line: scan, per-device values, the station, against
// tervo-devsim processes that are plugged in and unplugged as a technician does.
#include "CliTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QThread>

namespace {

class FleetTest : public ::testing::Test {
protected:
    QString Path(const char* name) const { return FDir.filePath(QLatin1String(name)); }
    QTemporaryDir FDir;
};

QJsonArray JsonRows(const QString& out, const char* list) {
    return QJsonDocument::fromJson(out.toUtf8()).object()[QLatin1String(list)].toArray();
}

} // namespace

TEST_F(FleetTest, ScanAsksEveryPortAtOnceAndSaysWhyOneDidNotAnswer) {
    WriteFile(Path("van.snapshot"), "[Params]\r\nP17=VAN_1\r\n");
    TDevSim answering({"--id", "101", "--snapshot", Path("van.snapshot"), "--gps", "3", "--gsm",
                       "20", "--battery", "70"});
    TDevSim silent({"--drop", "1"});
    TDevSim held({});
    QSerialPort holder;
    holder.setPortName(held.Path());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));

    const TRun scan = RunCli({"scan", "--json", "--port", answering.Path(), "--port", silent.Path(),
                              "--port", held.Path(), "--port", Path("none")});
    EXPECT_EQ(scan.Status, 0) << scan.Err.toStdString();
    const QJsonArray rows = JsonRows(scan.Out, "ports");
    ASSERT_EQ(rows.size(), 4) << scan.Out.toStdString();
    EXPECT_EQ(rows[0].toObject(), (QJsonObject{{"port", answering.Path()},
                                               {"state", "answered"},
                                               {"id", "101"},
                                               {"firmware", "TERVO_SIM_V1.0"},
                                               {"alias", "VAN_1"},
                                               {"gps", 3},
                                               {"gsm", 20},
                                               {"battery", 70}}));
    const QStringList states = {"answered", "no-answer", "busy", "missing"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[i].toObject()["state"].toString(), states[i]) << i;
    }
    EXPECT_EQ(answering.Received(), (QStringList{"(T01,0)", "(P01,0)"}));
    EXPECT_TRUE(held.Received().isEmpty());

    const TRun table = RunCli({"scan", "--port", answering.Path(), "--port", silent.Path()});
    EXPECT_EQ(table.Status, 0);
    const QStringList lines = table.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << table.Out.toStdString();
    EXPECT_EQ(lines[0].simplified(), "PORT ID FIRMWARE ALIAS GPS GSM BATTERY");
    EXPECT_EQ(lines[1].simplified(), answering.Path() + " 101 TERVO_SIM_V1.0 VAN_1 3 20 70%");
    EXPECT_EQ(lines[2].simplified(), silent.Path() + " no answer within 2 s");

    EXPECT_EQ(RunCli({"scan", "--port", silent.Path(), "--port", held.Path()}).Status, 3);

    // What a device sends is shown, never acted on: control bytes escaped, no row lost.
    TScriptedPeer nul({{"(T01,0)", QByteArray("(4711,T01,0,A\0B,4,24,85)", 25)}});
    TScriptedPeer colour({{"(T01,0)", "(4712,T01,0,\x1b[31mRED\x07,4,24,85)"}});
    const TRun hostile =
        RunCli({"scan", "--port", nul.Path(), "--port", colour.Path(), "--port", answering.Path()});
    EXPECT_EQ(hostile.Status, 0);
    const QStringList shown = hostile.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(shown.size(), 4) << hostile.Out.toStdString();
    EXPECT_EQ(shown[1].simplified(), nul.Path() + " 4711 ? A\\x00B 4 24 85%");
    EXPECT_EQ(shown[2].simplified(), colour.Path() + " 4712 ? \\x1b[31mRED\\x07 4 24 85%");
    EXPECT_TRUE(shown[3].contains("VAN_1"));
}

namespace {

const QByteArray kTemplate = "[Params]\r\nP03=+8613800138000\r\nP17=FLEET\r\nP10=20\r\n";

// The station as a process whose lines the test waits for.
class TStation {
public:
    explicit TStation(const QStringList& arguments) {
        FProcess.setProcessChannelMode(QProcess::MergedChannels);
        FProcess.start(QStringLiteral(TERVO_CLI), QStringList{"station"} + arguments);
        EXPECT_TRUE(FProcess.waitForStarted(5000));
    }
    ~TStation() {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(5000);
        }
    }
    // Until a line of its output (devices, progress), since it started, holds text; the
    // line, or empty after the time-out.
    QString WaitFor(const QString& text, int timeoutMs = 20'000) {
        QElapsedTimer clock;
        clock.start();
        for (qsizetype seen = 0;;) {
            while (FProcess.canReadLine()) {
                FLines.append(QString::fromLocal8Bit(FProcess.readLine()).trimmed());
            }
            for (; seen < FLines.size(); ++seen) {
                if (FLines[seen].contains(text)) {
                    return FLines[seen];
                }
            }
            if (clock.elapsed() > timeoutMs ||
                !FProcess.waitForReadyRead(int(timeoutMs - clock.elapsed()))) {
                ADD_FAILURE() << "no line with " << text.toStdString() << " in\n"
                              << FLines.join('\n').toStdString();
                return {};
            }
        }
    }
    // SIGINT, then the rest of its output and its exit status.
    int Interrupt() {
        ::kill(pid_t(FProcess.processId()), SIGINT);
        EXPECT_TRUE(FProcess.waitForFinished(20'000));
        for (const QString& line : QString::fromLocal8Bit(FProcess.readAllStandardOutput())
                                       .split('\n', Qt::SkipEmptyParts)) {
            FLines.append(line);
        }
        return FProcess.exitCode();
    }
    const QStringList& Lines() const { return FLines; }

private:
    QProcess FProcess;
    QStringList FLines;
};

} // namespace

TEST_F(FleetTest, RestoreGivesEachDeviceItsRowAndLeavesTheOthersAlone) {
    WriteFile(Path("fleet.snapshot"), kTemplate);
    WriteFile(Path("values.csv"), "ID,P17,P11.2\r\n301,VAN_1,\"2,13900000002\"\r\n302,VAN_2,\r\n");
    TDevSim first({"--id", "301"});
    TDevSim second({"--id", "302"});
    TDevSim stranger({"--id", "399"});
    const TRun run = RunCli({"restore", "--port", first.Path(), "--port", second.Path(), "--port",
                             stranger.Path(), "--values", Path("values.csv"), "--report",
                             Path("r.json"), Path("fleet.snapshot")});
    EXPECT_EQ(run.Status, 3) << run.Err.toStdString();
    // Who it is first, then the template with its own values, read back.
    EXPECT_EQ(first.Received(),
              (QStringList{"(T01,0)", "(P03,1,+8613800138000)", "(P17,1,VAN_1)", "(P10,1,20)",
                           "(P11,1,2,13900000002)", "(P03,0)", "(P17,0)", "(P10,0)", "(P11,0,2)"}));
    EXPECT_TRUE(second.Received().contains("(P17,1,VAN_2)"));
    EXPECT_EQ(stranger.Received(), QStringList{"(T01,0)"});
    const QJsonArray devices = JsonRows(QString::fromUtf8(ReadFile(Path("r.json"))), "devices");
    ASSERT_EQ(devices.size(), 3);
    EXPECT_EQ(devices[0].toObject()["values"].toObject(),
              (QJsonObject{{"file", Path("values.csv")},
                           {"line", 2},
                           {"keys", QJsonArray{"P17", "P11.2"}}}));
    EXPECT_EQ(devices[2].toObject()["result"].toString(), "not-in-values");
    EXPECT_TRUE(run.Err.contains(first.Path() +
                                 ": done (ID 301): every value confirmed; values "
                                 "from " +
                                 Path("values.csv") + " line 2: P17, P11.2"))
        << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains(stranger.Path() + ": not written (ID 399): " + Path("values.csv") +
                                 " names no device 399"));

    // The template alone where the file has no row; then all three hold what they should.
    EXPECT_EQ(RunCli({"restore", "--quiet", "--port", stranger.Path(), "--values",
                      Path("values.csv"), "--values-optional", Path("fleet.snapshot")})
                  .Status,
              0);
    EXPECT_TRUE(stranger.Received().contains("(P17,1,FLEET)"));
    EXPECT_EQ(RunCli({"verify", "--quiet", "--port", first.Path(), "--port", second.Path(),
                      "--values", Path("values.csv"), Path("fleet.snapshot")})
                  .Status,
              0);

    // A report over the values file, or one bad cell: refused before any device hears a thing.
    const QStringList before = first.Received();
    EXPECT_EQ(RunCli({"restore", "--port", first.Path(), "--values", Path("values.csv"), "--report",
                      Path("values.csv"), Path("fleet.snapshot")})
                  .Status,
              2);
    WriteFile(Path("bad.csv"), "ID,P17\r\n301,VAN_1\r\n302,VAN!2\r\n");
    const TRun bad = RunCli(
        {"restore", "--port", first.Path(), "--values", Path("bad.csv"), Path("fleet.snapshot")});
    EXPECT_EQ(bad.Status, 2);
    EXPECT_EQ(bad.Err, "tervo-cli: " + Path("bad.csv") +
                           ": line 3, column 2: P17: Another name cannot hold \"!\"\n");
    EXPECT_EQ(first.Received(), before);

    // A status report without a usable ID gets nothing; a silent device is said to be, and
    // the template's keys are listed as not sent.
    TScriptedPeer garbled({{"(T01,0)", QByteArray("(\x1b[2J\0X,T01,0,A,4,24,85)", 24)}});
    TScriptedPeer letters({{"(T01,0)", "(ABC,T01,0,A,4,24,85)"}});
    TScriptedPeer longId({{"(T01,0)", "(12345678901234567890123456,T01,0,A,4,24,85)"}});
    TDevSim silent({"--drop", "1"});
    const TRun unusable =
        RunCli({"restore", "--port", garbled.Path(), "--port", letters.Path(), "--port",
                longId.Path(), "--port", silent.Path(), "--values", Path("values.csv"), "--report",
                Path("u.json"), Path("fleet.snapshot")});
    EXPECT_EQ(unusable.Status, 3);
    EXPECT_FALSE(unusable.Err.contains('\x1b'));
    EXPECT_TRUE(unusable.Err.contains(garbled.Path() +
                                      ": not written: its status report gives no device ID of 1 "
                                      "to 20 digits but \"\\x1b[2J\\x00X\""))
        << unusable.Err.toStdString();
    EXPECT_TRUE(unusable.Err.contains(silent.Path() +
                                      ": device not answering: no answer to (T01,0); 3 not sent"));
    const QJsonArray hostile = JsonRows(QString::fromUtf8(ReadFile(Path("u.json"))), "devices");
    ASSERT_EQ(hostile.size(), 4);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(hostile[i].toObject()["result"].toString(), "unusable") << i;
        EXPECT_TRUE(hostile[i].toObject()["id"].isNull()) << i;
    }
    EXPECT_EQ(hostile[3].toObject()["params"].toObject().keys(),
              (QStringList{"P03", "P10", "P17"}));

    // Stopped while the device is asked who it is: said to be interrupted.
    QProcess stopped;
    stopped.setReadChannel(QProcess::StandardError);
    stopped.start(QStringLiteral(TERVO_CLI), {"restore", "--port", silent.Path(), "--values",
                                              Path("values.csv"), Path("fleet.snapshot")});
    while (!stopped.canReadLine() && stopped.waitForReadyRead(10'000)) {
    }
    ::kill(pid_t(stopped.processId()), SIGINT);
    EXPECT_TRUE(stopped.waitForFinished(20'000));
    EXPECT_TRUE(QString::fromLocal8Bit(stopped.readAllStandardError())
                    .contains(silent.Path() + ": interrupted; no answer to (T01,0); 3 not sent"));
}

// A bench session: trackers plugged in one after another, one finding its fix late, one
// unplugged midway and back, one that never gets the signal, one plugged in again after it
// was done, one whose link goes midway while its line stays, and the station stopped while
// one is being written.
TEST_F(FleetTest, StationProvisionsTrackersAsTheyArePluggedIn) {
    WriteFile(Path("fleet.snapshot"), kTemplate);
    WriteFile(Path("values.csv"), "ID,P17\r\n401,VAN_1\r\n402,VAN_2\r\n403,VAN_3\r\n"
                                  "404,VAN_4\r\n405,VAN_5\r\n406,VAN_6\r\n");
    QDir().mkpath(Path("bench"));
    const auto link = [this](const char* id) { return Path("bench/tracker") + id; };
    TStation station({"--template", Path("fleet.snapshot"), "--values", Path("values.csv"),
                      "--require-signal", "gps=3", "--signal-wait", "5", "--watch",
                      Path("bench/tracker*"), "--report", Path("station.jsonl"), "--records",
                      Path("records.sqlite")});
    station.WaitFor("station: waiting for trackers");

    // Its levels come after the ask at 3 s, before the wait is over: asked once more at 5 s.
    TDevSim late({"--id", "401", "--link", link("401"), "--signal-after", "4.5"});
    TDevSim unplugged(
        {"--id", "402", "--link", link("402"), "--hangup-after", "4", "--replug-after", "0.5"});
    TDevSim weak({"--id", "403", "--link", link("403"), "--gps", "1"});
    TDevSim again({"--id", "404", "--link", link("404")});
    EXPECT_TRUE(station.WaitFor("ID 402 on " + link("402") + ": unplugged after 3 of 6 commands")
                    .endsWith(" s"));
    EXPECT_FALSE(station
                     .WaitFor("ID 404 on " + link("404") +
                              ": provisioned: 3 values written "
                              "and confirmed; values from " +
                              Path("values.csv") + " line 5: P17; GPS 4, GSM 24;")
                     .isEmpty());
    station.WaitFor("ID 402 on " + link("402") + ": provisioned");
    station.WaitFor("ID 401 on " + link("401") + ": provisioned");
    station.WaitFor("ID 403 on " + link("403") +
                    ": failed: 3 values written and confirmed, but "
                    "the signal is too weak: GPS 1 (needs 3) after ");
    again.Signal(SIGUSR1);
    QThread::msleep(500);
    again.Signal(SIGUSR2);
    station.WaitFor("ID 404 on " + link("404") +
                    ": already provisioned: its 3 values confirmed, "
                    "nothing written");

    // The link is the port: gone is unplugged, though the terminal behind it still answers.
    TDevSim linked({"--id", "406", "--delay-ms", "300"});
    ASSERT_TRUE(QFile::link(linked.Path(), link("406")));
    station.WaitFor(link("406") + ": restore: writing");
    ASSERT_TRUE(QFile::remove(link("406")));
    EXPECT_TRUE(station.WaitFor("ID 406 on " + link("406") + ": unplugged after ")
                    .contains(QRegularExpression("after [0-5] of 6 commands")));
    // Back under two names at once: opened once.
    ASSERT_TRUE(QFile::link(linked.Path(), link("406")));
    ASSERT_TRUE(QFile::link(linked.Path(), link("406-again")));
    const QString opened =
        station.WaitFor("already being worked on").section(" is ", 1).section(", already", 0, 0);
    station.WaitFor("ID 406 on " + opened + ": provisioned");

    TDevSim slow({"--id", "405", "--link", link("405"), "--delay-ms", "300"});
    station.WaitFor(link("405") + ": restore: writing");
    EXPECT_EQ(station.Interrupt(), 3);
    const QStringList lines = station.Lines();
    EXPECT_TRUE(lines
                    .filter(QRegularExpression("ID 405 on .*: interrupted after [1-5] of 6 "
                                               "commands"))
                    .size() == 1)
        << lines.join('\n').toStdString();
    const QStringList summary = lines.filter("station summary:");
    ASSERT_EQ(summary.size(), 1);
    const QRegularExpression groups(
        "provisioned 4 \\((.*)\\); failed 1 \\(403\\); interrupted 1 \\(405\\)");
    const auto match = groups.match(summary.first());
    ASSERT_TRUE(match.hasMatch()) << summary.first().toStdString();
    QStringList provisioned = match.captured(1).split(", ");
    provisioned.sort();
    EXPECT_EQ(provisioned, (QStringList{"401", "402", "404", "406"}));

    // Written once each while they stayed plugged in; 402 from the start after it came back;
    // 405 stopped after the command in flight.
    for (TDevSim* device : {&late, &weak, &again}) {
        EXPECT_EQ(device->Received().filter(",1,VAN_").size(), 1);
    }
    const QStringList twice = unplugged.Received();
    EXPECT_EQ(twice.filter("(T01,0)").size(), 2 + 1); // identify twice, then the signal
    EXPECT_EQ(twice.filter(",1,VAN_2").size(), 2);
    EXPECT_LT(slow.Received().size(), 7);

    const QList<QByteArray> report = ReadFile(Path("station.jsonl")).split('\n');
    QStringList results;
    for (const QByteArray& line : report) {
        if (!line.isEmpty()) {
            const QJsonObject device = QJsonDocument::fromJson(line).object();
            results.append(device["id"].toString() + ' ' + device["result"].toString());
        }
    }
    results.sort();
    const QStringList expected = {"401 confirmed",   "402 confirmed",           "402 unplugged",
                                  "403 weak-signal", "404 already-provisioned", "404 confirmed",
                                  "405 interrupted", "406 confirmed",           "406 unplugged"};
    EXPECT_EQ(results, expected);

    // The same outcomes are on record, each with the row it got.
    const TRun records = RunCli({"records", "--records", Path("records.sqlite"), "--operation",
                                 "station", "--format", "json"});
    QStringList recorded;
    for (const QJsonValue& record : QJsonDocument::fromJson(records.Out.toUtf8()).array()) {
        recorded.append(record["device_id"].toString() + ' ' + record["result"].toString());
        EXPECT_TRUE(record["values_row"].toString().contains("\"P17\":\"VAN_"))
            << record["values_row"].toString().toStdString();
    }
    recorded.sort();
    EXPECT_EQ(recorded, expected) << records.Err.toStdString();
}
