// tervo-cli as a technician runs it, against several tervo-devsim processes at once.
#include "CliTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kReference = "[Device]\r\nID=4711\r\nFirmware=V2.3.1\r\n[Params]\r\n"
                              "P03=+8613800138000\r\n"
                              "P17=VAN_42\r\n"
                              "P04=60,10,1\r\n"
                              "P11.3=3,13900000003\r\n"
                              "P22.1=1,1,0,1,0\r\n"
                              "P08.5=5,11354.0000,2230.0000,11406.0000,2224.0000,HOME\r\n";

class CliTest : public ::testing::Test {
protected:
    QString Path(const char* name) const { return FDir.filePath(QLatin1String(name)); }
    QTemporaryDir FDir;
};

} // namespace

TEST_F(CliTest, RestoresAFleetAtOnceAndReportsEveryDevice) {
    WriteFile(Path("van.snapshot"), kReference);
    TDevSim good({"--unsolicited-status", "1", "--id", "101"});
    TDevSim altering({"--alter", "P03=+86138", "--id", "102"});
    TDevSim silent({"--drop", "1", "--id", "103"});
    TDevSim hangingUp({"--hangup-after", "3", "--id", "104"});
    const TRun run = RunCli({"restore", "--port", good.Path(), "--port", altering.Path(), "--port",
                             silent.Path(), "--port", hangingUp.Path(), "--report",
                             Path("fleet.json"), Path("van.snapshot")});
    ASSERT_EQ(run.Status, 3) << run.Err.toStdString();

    // Writes in Write All's order, then every written key read back in the same order.
    const QStringList writes = {
        "(P03,1,+8613800138000)", "(P17,1,VAN_42)",
        "(P04,1,60,10,1)",        "(P11,1,3,13900000003)",
        "(P22,1,1,1,0,1,0)",      "(P08,1,5,11354.0000,2230.0000,11406.0000,2224.0000,HOME)"};
    const QStringList reads = {"(P03,0)",   "(P17,0)",   "(P04,0)",
                               "(P11,0,3)", "(P22,0,1)", "(P08,0,5)"};
    EXPECT_EQ(good.Received(), writes + reads);
    EXPECT_EQ(silent.Received(), QStringList(3, writes.first())); // asked three times
    EXPECT_EQ(hangingUp.Received(), writes.first(3));

    const QByteArray bytes = ReadFile(Path("fleet.json"));
    const QJsonObject report = QJsonDocument::fromJson(bytes).object();
    EXPECT_EQ(report["format"], 1);
    const QJsonArray devices = report["devices"].toArray();
    ASSERT_EQ(devices.size(), 4);
    // Keys in the catalogue's order, not alphabetically.
    const QByteArray first = bytes.left(bytes.indexOf("\"port\"", bytes.indexOf("P08.5")));
    QList<qsizetype> positions;
    for (const char* key :
         {"\"P03\"", "\"P17\"", "\"P04\"", "\"P22.1\"", "\"P11.3\"", "\"P08.5\""}) {
        positions.append(first.indexOf(key));
    }
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()) && positions[0] > 0)
        << first.toStdString();
    const QStringList results = {"confirmed", "differs", "no-answer", "line-error"};
    for (int i = 0; i < 4; ++i) {
        const QJsonObject device = devices[i].toObject();
        EXPECT_EQ(device["result"].toString(), results[i]) << i;
        EXPECT_EQ(device["params"].toObject().size(), 6) << i;
    }
    EXPECT_EQ(devices[0].toObject()["port"].toString(), good.Path());
    EXPECT_EQ(devices[0].toObject()["id"].toString(), "101");
    EXPECT_TRUE(devices[2].toObject()["id"].isNull());
    const QJsonObject p03 = devices[1].toObject()["params"].toObject()["P03"].toObject();
    EXPECT_EQ(p03["state"].toString(), "differs");
    EXPECT_EQ(p03["sent"].toString(), "+8613800138000");
    EXPECT_EQ(p03["device"].toString(), "+86138");
    EXPECT_EQ(devices[1].toObject()["params"].toObject()["P04"].toObject()["state"].toString(),
              "confirmed");
    // Asked three times and never answered; what came after was never sent.
    const QJsonObject silentParams = devices[2].toObject()["params"].toObject();
    EXPECT_EQ(silentParams["P03"].toObject()["state"].toString(), "no-answer");
    EXPECT_EQ(silentParams["P17"].toObject()["state"].toString(), "not-sent");
    EXPECT_TRUE(silentParams["P17"].toObject()["device"].isNull());

    // One line per device and step, naming the port.
    for (const TDevSim* sim : {&good, &altering, &silent, &hangingUp}) {
        EXPECT_TRUE(run.Err.contains(sim->Path() + ": restore: writing 6 values"))
            << run.Err.toStdString();
    }
    EXPECT_TRUE(run.Err.contains(silent.Path() + ": device not answering"));
}

// A device's outcome is kept as soon as it ends; a signal lets the others finish the command in
// flight, and the report says key by key what reached the device.
TEST_F(CliTest, AnInterruptedRestoreKeepsWhatWasDoneKeyByKey) {
    WriteFile(Path("van.snapshot"), kReference);
    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        TDevSim fast({"--id", "201"});
        TDevSim slow({"--delay-ms", "200", "--id", "202"});
        QProcess cli;
        cli.setReadChannel(QProcess::StandardError);
        cli.start(QStringLiteral(TERVO_CLI),
                  {"restore", "--port", fast.Path(), "--port", slow.Path(), "--report",
                   Path("r.json"), Path("van.snapshot")});
        QString err;
        while (!err.contains(fast.Path() + ": done") && cli.waitForReadyRead(10'000)) {
            err += QString::fromLocal8Bit(cli.readAllStandardError());
        }
        ASSERT_TRUE(err.contains(fast.Path() + ": done (ID 201): every value confirmed"))
            << err.toStdString();
        // Already in the report, while the other device works on.
        const QJsonArray sofar =
            QJsonDocument::fromJson(ReadFile(Path("r.json")))["devices"].toArray();
        ASSERT_EQ(sofar.size(), 1);
        EXPECT_EQ(sofar[0]["port"].toString(), fast.Path());
        EXPECT_EQ(sofar[0]["result"].toString(), "confirmed");

        ::kill(pid_t(cli.processId()), signal);
        ASSERT_TRUE(cli.waitForFinished(20'000));
        err += QString::fromLocal8Bit(cli.readAllStandardError());
        EXPECT_EQ(cli.exitCode(), status) << err.toStdString();
        EXPECT_TRUE(err.contains(slow.Path() + ": interrupted (ID 202); ")) << err.toStdString();

        const QJsonArray devices =
            QJsonDocument::fromJson(ReadFile(Path("r.json")))["devices"].toArray();
        ASSERT_EQ(devices.size(), 2);
        EXPECT_EQ(devices[0]["port"].toString(), fast.Path()); // the command line's order
        EXPECT_EQ(devices[1]["result"].toString(), "interrupted");
        const QJsonObject params = devices[1]["params"].toObject();
        const QStringList received = slow.Received();
        QStringList states;
        for (auto it = params.begin(); it != params.end(); ++it) {
            const QString key = it.key();
            const QString write =
                QStringLiteral("(%1,1,%2)")
                    .arg(key.section('.', 0, 0), it->toObject()["sent"].toString());
            const QString state = it->toObject()["state"].toString();
            states.append(state);
            EXPECT_EQ(received.contains(write), state != "not-sent") << key.toStdString();
        }
        EXPECT_TRUE(states.contains("not-sent")) << states.join(' ').toStdString();
        EXPECT_TRUE(states.contains("echoed")) << states.join(' ').toStdString();
        EXPECT_TRUE(states.filter(QRegularExpression("^(echoed|not-sent|confirmed)$")).size() ==
                    states.size());
    }
}

TEST_F(CliTest, BackupVerifyAndDiffOfDevicesStartedFromSnapshots) {
    WriteFile(Path("van.snapshot"), kReference);
    TDevSim reference({"--snapshot", Path("van.snapshot"), "--unsolicited-status", "1"});
    TDevSim other({"--id", "999"});

    const TRun backup = RunCli({"backup", "--port", reference.Path(), "--out", Path("b.snapshot")});
    ASSERT_EQ(backup.Status, 0) << backup.Err.toStdString();
    QStringList expected;
    expected << "(T01,0)"
             << "(P01,0)"
             << "(P03,0)"
             << "(P17,0)"
             << "(P10,0)"
             << "(P12,0)"
             << "(P06,0)"
             << "(P25,0)"
             << "(P05,0)"
             << "(P07,0)"
             << "(P04,0)"
             << "(P21,0)"
             << "(P14,0)"
             << "(P18,0)";
    for (int k = 1; k <= 5; ++k) {
        expected << QStringLiteral("(P11,0,%1)").arg(k) << QStringLiteral("(P22,0,%1)").arg(k);
    }
    expected << "(P31,0)"
             << "(P34,0)";
    for (int n = 1; n <= 64; ++n) {
        expected << QStringLiteral("(P08,0,%1)").arg(n);
    }
    EXPECT_EQ(reference.Received(), expected);
    const QByteArray saved = ReadFile(Path("b.snapshot"));
    EXPECT_TRUE(
        saved.startsWith("[Device]\r\nFormat=1\r\nID=4711\r\nFirmware=V2.3.1\r\nAlias=VAN_42\r\n"));
    EXPECT_TRUE(saved.contains("\r\nP08.5=5,11354.0000,2230.0000,11406.0000,2224.0000,HOME\r\n"));

    // The backup holds the reference's values (and the factory values of the rest).
    const TRun same = RunCli({"diff", Path("van.snapshot"), Path("b.snapshot")});
    EXPECT_EQ(same.Status, 1); // the reference lacks the keys it never set
    EXPECT_FALSE(same.Out.contains("P03")) << same.Out.toStdString();
    EXPECT_EQ(RunCli({"diff", Path("b.snapshot"), Path("b.snapshot")}).Status, 0);

    EXPECT_EQ(RunCli({"verify", "--quiet", "--port", reference.Path(), Path("b.snapshot")}).Status,
              0);
    const TRun differs = RunCli({"verify", "--quiet", "--port", reference.Path(), "--port",
                                 other.Path(), Path("b.snapshot")});
    EXPECT_EQ(differs.Status, 1);
    EXPECT_TRUE(differs.Err.isEmpty()) << differs.Err.toStdString();
    // One list: the iterators of two calls' lists would walk from one into the other.
    const QStringList otherReceived = other.Received();
    EXPECT_TRUE(std::none_of(otherReceived.begin(), otherReceived.end(), [](const QString& c) {
        return c.contains(",1,");
    })) << "verify wrote";
}

TEST_F(CliTest, UsageAndFileErrorsSendNothing) {
    TDevSim device({});
    WriteFile(Path("bad.snapshot"), "[Params]\r\nP03=+86\r\nP04=60,10\r\n");
    const TRun bad = RunCli({"restore", "--port", device.Path(), Path("bad.snapshot")});
    EXPECT_EQ(bad.Status, 2);
    EXPECT_TRUE(bad.Err.contains("bad.snapshot: line 3: P04 takes 3 field(s), not 2"))
        << bad.Err.toStdString();
    for (const QStringList& arguments :
         {QStringList{"restore", "--port", device.Path()}, QStringList{"frobnicate"},
          QStringList{"backup", "--port", device.Path()},
          QStringList{"backup", "--port", "a", "--port", "b", "--out", Path("x")},
          QStringList{"verify", "--port", device.Path(), "--baud", "fast", Path("bad.snapshot")},
          QStringList{"diff", Path("bad.snapshot")},
          QStringList{"restore", "--port", device.Path(), Path("missing.snapshot")}}) {
        EXPECT_EQ(RunCli(arguments).Status, 2) << arguments.join(' ').toStdString();
    }
    // A link and its terminal are one port.
    ASSERT_TRUE(QFile::link(device.Path(), Path("tracker")));
    const TRun twice = RunCli(
        {"verify", "--port", Path("tracker"), "--port", device.Path(), Path("bad.snapshot")});
    EXPECT_EQ(twice.Status, 2);
    EXPECT_TRUE(twice.Err.startsWith("tervo-cli: a port is given twice: " + Path("tracker") +
                                     " and " + device.Path() + " are the same port\n"))
        << twice.Err.toStdString();
    EXPECT_TRUE(device.Received().isEmpty());
    const TRun noPort = RunCli({"verify", "--port", Path("no-such-port"), Path("bad.snapshot")});
    EXPECT_EQ(noPort.Status, 2); // the file is checked first
    WriteFile(Path("good.snapshot"), kReference);
    const TRun closed = RunCli({"verify", "--port", Path("no-such-port"), Path("good.snapshot")});
    EXPECT_EQ(closed.Status, 3);
    // Said once, in the platform's words.
    EXPECT_EQ(closed.Err, Path("no-such-port") + ": cannot open " + Path("no-such-port") +
                              ": no such file or device\n");
}

// A fleet's fences planned in a GIS tool: into the reference snapshot, then cloned with restore.
TEST_F(CliTest, FencesGoFromSnapshotsToGisFilesAndBackKeepingEveryOtherLine) {
    const QByteArray van =
        "; fleet reference\r\n" + kReference + "P08.7=7,0,0,0,0,\r\n[Workshop]\r\nBench=3\r\n";
    WriteFile(Path("van.snapshot"), van);

    const TRun exported = RunCli({"fences-export", Path("van.snapshot"), Path("van.geojson")});
    ASSERT_EQ(exported.Status, 0) << exported.Err.toStdString();
    EXPECT_EQ(exported.Err, Path("van.geojson") + ": geo-fences 5\n");
    const QJsonArray features =
        QJsonDocument::fromJson(ReadFile(Path("van.geojson"))).object()["features"].toArray();
    ASSERT_EQ(features.size(), 1); // the empty fence 7 stays out
    EXPECT_EQ(features[0].toObject()["properties"].toObject(),
              (QJsonObject{{"id", 5}, {"name", "HOME"}}));

    // Back into a copy: the very same bytes.
    WriteFile(Path("copy.snapshot"), van);
    const TRun same =
        RunCli({"fences-import", "--quiet", Path("copy.snapshot"), Path("van.geojson")});
    EXPECT_EQ(same.Status, 0) << same.Err.toStdString();
    EXPECT_EQ(ReadFile(Path("copy.snapshot")), van);

    WriteFile(Path("plan.kml"), R"(<?xml version="1.0" encoding="UTF-8"?>
<kml xmlns="http://www.opengis.net/kml/2.2"><Document>
<Placemark><name>7</name><Polygon><outerBoundaryIs><LinearRing><coordinates>
113.9,22.5 114.1,22.5 114.1,22.4 113.9,22.4 113.9,22.5</coordinates></LinearRing>
</outerBoundaryIs></Polygon></Placemark>
<Placemark><name>Depot, North!</name><LineString><coordinates>-74.01,40.7128,0 -73.97,40.6833,0
</coordinates></LineString></Placemark>
<Placemark><name>5</name><LineString><coordinates>2.2945,48.8584 2.2950,48.8580</coordinates>
</LineString></Placemark>
</Document></kml>)");
    const TRun imported = RunCli({"fences-import", Path("van.snapshot"), Path("plan.kml")});
    ASSERT_EQ(imported.Status, 0) << imported.Err.toStdString();
    EXPECT_EQ(imported.Err, Path("van.snapshot") + ": set geo-fences 1, 5, 7 (replaced 5)\n");
    QByteArray expected = van;
    expected.replace("P08.5=5,11354.0000,2230.0000,11406.0000,2224.0000,HOME",
                     "P08.5=5,217.6700,4851.5040,217.7000,4851.4800,5");
    expected.replace("P08.7=7,0,0,0,0,", "P08.7=7,11354.0000,2230.0000,11406.0000,2224.0000,7");
    expected.replace("[Workshop]",
                     "P08.1=1,-7400.6000,4042.7680,-7358.2000,4040.9980,Depot North\r\n[Workshop]");
    EXPECT_EQ(ReadFile(Path("van.snapshot")), expected);

    // Refused: which feature and why, and the snapshot as it was.
    WriteFile(Path("pole.geojson"), R"({"type":"Feature","properties":{"name":"Pole"},
        "geometry":{"type":"Point","coordinates":[10,91]}})");
    const TRun pole = RunCli({"fences-import", Path("van.snapshot"), Path("pole.geojson")});
    EXPECT_EQ(pole.Status, 2);
    EXPECT_EQ(pole.Err, "tervo-cli: " + Path("pole.geojson") +
                            ": feature 1 \"Pole\": latitude 91 is outside -90 to 90\n");
    EXPECT_EQ(ReadFile(Path("van.snapshot")), expected);

    // Usage and file errors.
    WriteFile(Path("bare.snapshot"), "[Params]\r\nP03=+86\r\n");
    for (const QStringList& arguments :
         {QStringList{"fences-export", Path("van.snapshot")},
          QStringList{"fences-import", Path("van.snapshot"), Path("plan.kml"), Path("x")},
          QStringList{"fences-import", Path("missing.snapshot"), Path("plan.kml")},
          QStringList{"fences-import", Path("van.snapshot"), Path("missing.kml")},
          QStringList{"fences-export", Path("bare.snapshot"), Path("bare.geojson")}}) {
        EXPECT_EQ(RunCli(arguments).Status, 2) << arguments.join(' ').toStdString();
    }
    EXPECT_FALSE(QFile::exists(Path("bare.geojson")));
    EXPECT_EQ(ReadFile(Path("van.snapshot")), expected);

    // The clone: restore writes the imported fences as the file gives them.
    TDevSim device({});
    const TRun restore =
        RunCli({"restore", "--quiet", "--port", device.Path(), Path("van.snapshot")});
    EXPECT_EQ(restore.Status, 0) << restore.Err.toStdString();
    const QStringList received = device.Received();
    for (const char* write : {"(P08,1,1,-7400.6000,4042.7680,-7358.2000,4040.9980,Depot North)",
                              "(P08,1,5,217.6700,4851.5040,217.7000,4851.4800,5)",
                              "(P08,1,7,11354.0000,2230.0000,11406.0000,2224.0000,7)"}) {
        EXPECT_TRUE(received.contains(QString::fromLatin1(write))) << write;
    }
}

// Hostile snapshots are refused before any device is touched, naming the file, the line, the
// key and the field: a device that reads frames the protocol's way receives nothing. The same
// device takes a good snapshot command for command.
TEST_F(CliTest, HostileSnapshotsReachNoDevice) {
    TDevSim device({"--protocol-frames"});
    const std::pair<QByteArray, const char*> cases[] = {
        {"P17=x!!(P20)!", "P17: Another name cannot hold \"!\""},
        {"P05=1.2.3.4,8888,x!!(P03,1,+999)!", "P05: APN cannot hold \"!\""},
        {"P08.3=3,0,0,0,0,H!!(P20)!", "P08.3: Geo-fence name cannot hold \"!\""},
        {"P21=1,60)(P20,1)(P03,1,+999", "P21 counts 1 time point(s) but lists 4"},
        {"P21=2,60", "P21 counts 2 time point(s) but lists 1"},
        {"P21=2,x,y,z", "P21 counts 2 time point(s) but lists 3"},
        {"P17=A)B", "P17: Another name cannot hold \")\""},
        {"P03=+1!", "P03: SMS Primary number cannot hold \"!\""},
        {"P17=" + QByteArray(3000, 'B'), "P17: Another name holds 3000 characters; at most 20 fit"},
    };
    const QString evil = Path("evil.snapshot");
    WriteFile(Path("van.snapshot"), kReference);
    for (const auto& [line, error] : cases) {
        WriteFile(evil, "[Device]\r\nID=4711\r\n[Params]\r\nP03=+86\r\n" + line + "\r\n");
        const QString expected = "tervo-cli: " + evil + ": line 5: " + error + "\n";
        const TRun restore = RunCli({"restore", "--port", device.Path(), evil});
        EXPECT_EQ(restore.Status, 2) << line.left(60).toStdString();
        EXPECT_EQ(restore.Err, expected);
        const TRun diff = RunCli({"diff", Path("van.snapshot"), evil});
        EXPECT_EQ(diff.Status, 2);
        EXPECT_EQ(diff.Err, expected);
        // The same value as a cell of a values file.
        const qsizetype equals = line.indexOf('=');
        QByteArray cell = line.mid(equals + 1);
        cell.replace('"', "\"\"");
        WriteFile(Path("evil.csv"), "ID," + line.left(equals) + "\r\n4711,\"" + cell + "\"\r\n");
        const TRun values = RunCli({"restore", "--port", device.Path(), "--values",
                                    Path("evil.csv"), Path("van.snapshot")});
        EXPECT_EQ(values.Status, 2);
        EXPECT_EQ(values.Err,
                  "tervo-cli: " + Path("evil.csv") + ": line 2, column 2: " + error + "\n");
    }
    EXPECT_EQ(device.Received(), QStringList());

    // An imported fence name keeps what its rule lets through: one command, as asked.
    WriteFile(Path("evil.geojson"), R"({"type":"Feature","properties":{"id":1,"name":"H!!(P20)!"},
        "geometry":{"type":"Polygon","coordinates":[[[113.9,22.5],[114.1,22.5],[114.1,22.4],
        [113.9,22.4],[113.9,22.5]]]}})");
    WriteFile(Path("fenced.snapshot"), kReference);
    ASSERT_EQ(RunCli({"fences-import", Path("fenced.snapshot"), Path("evil.geojson")}).Status, 0);
    const TRun restore =
        RunCli({"restore", "--quiet", "--port", device.Path(), Path("fenced.snapshot")});
    EXPECT_EQ(restore.Status, 0) << restore.Err.toStdString();
    EXPECT_EQ(device.Received().size(), 14);
    EXPECT_EQ(device.Received().first(), "(P03,1,+8613800138000)");
    EXPECT_EQ(
        device.Received().filter(QRegularExpression(R"(^\(P08,1,1,[-0-9.,]+,HP20\)$)")).size(), 1);

    // A device whose replies no field can hold: the keys are "unusable", shown as they came,
    // not "no-answer", and nothing is sent again.
    const QString number(26, '1');
    TDevSim odd({"--alter", "P03=" + number, "--alter", "P04=60"});
    const TRun unusable = RunCli({"restore", "--quiet", "--no-read-back", "--port", odd.Path(),
                                  "--report", Path("odd.json"), Path("van.snapshot")});
    EXPECT_EQ(unusable.Status, 1) << unusable.Err.toStdString();
    EXPECT_EQ(odd.Received().size(), 6);
    const QJsonObject params = QJsonDocument::fromJson(ReadFile(Path("odd.json")))
                                   .object()["devices"]
                                   .toArray()[0]
                                   .toObject()["params"]
                                   .toObject();
    EXPECT_EQ(params["P03"].toObject()["state"].toString(), "unusable");
    EXPECT_EQ(params["P03"].toObject()["device"].toString(), number);
    EXPECT_EQ(params["P04"].toObject()["state"].toString(), "unusable");
    EXPECT_EQ(params["P04"].toObject()["device"].toString(), "60");
    EXPECT_EQ(params["P17"].toObject()["state"].toString(), "echoed");

    // A backup of such values saves no snapshot its reader would refuse, and is no success.
    const TRun backup = RunCli({"backup", "--port", odd.Path(), "--out", Path("odd.snapshot")});
    EXPECT_EQ(backup.Status, 1) << backup.Err.toStdString();
    EXPECT_TRUE(backup.Err.contains("2 answered unusably")) << backup.Err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path("odd.snapshot")));
}

// An output that cannot be written, or that is one of the inputs (also through a link or a
// hard link), stops the command before any device hears a thing; "-" is standard output.
TEST_F(CliTest, OutputsAreCheckedBeforeAnyDeviceIsTouched) {
    const QString van = Path("van.snapshot");
    WriteFile(van, kReference);
    TDevSim device({"--snapshot", van});
    ASSERT_TRUE(QFile::link(van, Path("soft.snapshot")));
    ASSERT_EQ(::link(qPrintable(van), qPrintable(Path("hard.snapshot"))), 0);
    ASSERT_TRUE(QDir().mkpath(Path("folder")));
    const QString port = device.Path();
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"verify", "--port", port, "--report", van, van},
         van + ": it is the file " + van + " that the command reads"},
        {{"restore", "--port", port, "--report", Path("hard.snapshot"), van},
         Path("hard.snapshot") + ": it is the file " + van + " that the command reads"},
        {{"restore", "--port", port, "--report", Path("soft.snapshot"), van},
         Path("soft.snapshot") + ": it is the file " + van + " that the command reads"},
        {{"verify", "--port", port, "--report", Path("folder"), van},
         Path("folder") + ": it is a folder"},
        {{"verify", "--port", port, "--report", "/proc/x.json", van}, "/proc/x.json: "},
        {{"backup", "--port", port, "--out", Path("folder")}, Path("folder") + ": it is a folder"},
        {{"fences-export", van, Path("soft.snapshot")},
         Path("soft.snapshot") + ": it is the file " + van + " that the command reads"},
        {{"fences-import", van, Path("hard.snapshot")},
         van + ": it is the file " + Path("hard.snapshot") + " that the command reads"},
    };
    for (const auto& [arguments, error] : cases) {
        const TRun run = RunCli(arguments);
        EXPECT_EQ(run.Status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.Err.startsWith("tervo-cli: Cannot write " + error))
            << run.Err.toStdString();
    }
    EXPECT_TRUE(device.Received().isEmpty());
    EXPECT_EQ(ReadFile(van), kReference);

    const TRun report = RunCli({"verify", "--quiet", "--port", port, "--report", "-", van});
    EXPECT_EQ(report.Status, 0) << report.Err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(report.Out.toUtf8())["devices"].toArray().size(), 1);
    const TRun backup = RunCli({"backup", "--quiet", "--port", port, "--out", "-"});
    EXPECT_EQ(backup.Status, 0) << backup.Err.toStdString();
    EXPECT_TRUE(
        backup.Out.contains("\r\nP08.5=5,11354.0000,2230.0000,11406.0000,2224.0000,HOME\r\n"))
        << backup.Out.toStdString();
}

// A snapshot's fences through the files a GIS user has: GeoJSON, KML and KMZ, written by
// tervo-cli and converted by GDAL, to links, pipes and standard output, and back.
TEST_F(CliTest, FenceFilesGoThroughGdalLinksPipesAndStandardStreams) {
    // Bare LF line ends, as an editor may leave them; fence 64 nearly round the world.
    const QByteArray van = "[Device]\nID=4711\n[Params]\nP03=+8613800138000\n"
                           "P08.5=5,11354.0000,2230.0000,11406.0000,2224.0000,HOME\n"
                           "P08.9=9,-7359.1234,4045.0001,-7355.9999,4041.4321,Yard North\n"
                           "P08.64=64,-17959.9999,8959.9999,17959.9999,-8959.9999,World\n";
    WriteFile(Path("van.snapshot"), van);
    const auto importsBack = [&](const QString& file) {
        WriteFile(Path("copy.snapshot"), van);
        const TRun run = RunCli({"fences-import", "--quiet", Path("copy.snapshot"), file});
        EXPECT_EQ(run.Status, 0) << file.toStdString() << run.Err.toStdString();
        EXPECT_EQ(ReadFile(Path("copy.snapshot")), van) << file.toStdString();
    };
    const auto ogr2ogr = [&](const QStringList& arguments) {
        QProcess gdal;
        gdal.start("ogr2ogr", arguments);
        EXPECT_TRUE(gdal.waitForFinished(60'000));
        EXPECT_EQ(gdal.exitCode(), 0) << gdal.readAllStandardError().toStdString();
    };
    for (const char* name : {"van.geojson", "van.kml", "van.kmz"}) {
        const TRun run = RunCli({"fences-export", Path("van.snapshot"), Path(name)});
        ASSERT_EQ(run.Status, 0) << run.Err.toStdString();
        EXPECT_EQ(run.Err, Path(name) + ": geo-fences 5, 9, 64\n");
        importsBack(Path(name));
    }
    EXPECT_TRUE(
        ReadFile(Path("van.kml")).contains("<kml xmlns=\"http://www.opengis.net/kml/2.2\">"));
    EXPECT_TRUE(ReadFile(Path("van.kmz")).startsWith("PK\x03\x04"));
    // GDAL's drivers, each way.
    const std::vector<std::pair<QStringList, QString>> conversions = {
        {{"-f", "GeoJSON", Path("gdal.geojson"), Path("van.geojson")}, "gdal.geojson"},
        {{"-f", "KML", Path("gdal.kml"), Path("van.geojson")}, "gdal.kml"},
        {{"-f", "LIBKML", Path("libkml.kml"), Path("van.geojson")}, "libkml.kml"},
        {{"-f", "LIBKML", Path("libkml.kmz"), Path("van.geojson")}, "libkml.kmz"},
        {{"-f", "GeoJSON", Path("from-kml.geojson"), Path("van.kml")}, "from-kml.geojson"},
        {{"-f", "GeoJSON", Path("from-kmz.geojson"), Path("van.kmz")}, "from-kmz.geojson"},
    };
    for (const auto& [arguments, made] : conversions) {
        ogr2ogr(arguments);
        importsBack(Path(made.toLatin1().constData()));
    }

    // Standard output and input.
    const TRun out = RunCli({"fences-export", "--quiet", Path("van.snapshot"), "-"});
    EXPECT_EQ(out.Status, 0);
    EXPECT_EQ(out.Out.toUtf8(), ReadFile(Path("van.geojson")));
    WriteFile(Path("copy.snapshot"), van);
    const TRun in = RunCli({"fences-import", Path("copy.snapshot"), "-"}, QStringLiteral(TERVO_CLI),
                           ReadFile(Path("van.kmz")));
    EXPECT_EQ(in.Status, 0) << in.Err.toStdString();
    EXPECT_EQ(in.Err, Path("copy.snapshot") + ": set geo-fences 5, 9, 64 (replaced 5, 9, 64)\n");

    // A link keeps being a link; a FIFO gets the text; a link planted where the old writer put
    // its temporary file leads nowhere.
    WriteFile(Path("victim"), "victim");
    ASSERT_TRUE(QFile::link(Path("victim"), Path("planted.geojson.partial")));
    ASSERT_TRUE(QFile::link(Path("real.geojson"), Path("link.geojson")));
    ASSERT_EQ(::mkfifo(qPrintable(Path("pipe")), 0600), 0);
    QProcess reader;
    reader.start("cat", {Path("pipe")});
    for (const char* name : {"planted.geojson", "link.geojson", "pipe"}) {
        EXPECT_EQ(RunCli({"fences-export", "--quiet", Path("van.snapshot"), Path(name)}).Status, 0);
    }
    ASSERT_TRUE(reader.waitForFinished(10'000));
    EXPECT_EQ(reader.readAllStandardOutput(), ReadFile(Path("van.geojson")));
    EXPECT_EQ(ReadFile(Path("victim")), "victim");
    EXPECT_EQ(ReadFile(Path("planted.geojson")), ReadFile(Path("van.geojson")));
    EXPECT_TRUE(QFileInfo(Path("link.geojson")).isSymLink());
    EXPECT_EQ(ReadFile(Path("real.geojson")), ReadFile(Path("van.geojson")));
    EXPECT_TRUE(QFileInfo(Path("pipe")).isFile() == false);

    // What no file can hold is left out, and said so even with --quiet.
    WriteFile(Path("odd.snapshot"),
              "[Params]\r\nP08.2=2,17700.0000,-1600.0000,-17800.0000,-1900.0000,Fiji\r\n"
              "P08.5=5,11354.0000,2230.0000,11406.0000,2224.0000,HOME\r\n");
    const TRun odd = RunCli({"fences-export", "--quiet", Path("odd.snapshot"), Path("odd.kml")});
    EXPECT_EQ(odd.Status, 0);
    EXPECT_EQ(odd.Err, "tervo-cli: left out geo-fence 2 \"Fiji\": its left top corner lies east of "
                       "its right bottom corner, across the 180° meridian\n");
    EXPECT_EQ(
        TRun(RunCli({"fences-import", "--quiet", Path("van.snapshot"), Path("odd.kml")})).Status,
        0);
}
