// The fleet bench from the command line: scan, per-device values, the station, against
// tervo-devsim processes that are plugged in and unplugged as a technician does.
#include "CliTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>
#include <QTemporaryDir>

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
}
