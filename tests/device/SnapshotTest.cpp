#include "uDeviceSession.h"
#include "uSnapshot.h"
#include "uSnapshotDiff.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QByteArray kExample = "[Device]\r\n"
                            "ID=0123456789\r\n"
                            "Firmware=V2.3.1\r\n"
                            "Alias=VAN_42\r\n"
                            "Saved=2026-12-08T22:30:00\r\n"
                            "[Params]\r\n"
                            "P03=+8613800138000\r\n"
                            "P04=60,10,1\r\n"
                            "P11.3=3,13900000003\r\n"
                            "P22.1=1,1,0,1,0\r\n"
                            "P08.5=5,11354.0000,2230.0000,11406.0000,2224.0000,HOME\r\n";

QString ParseError(const QByteArray& text) {
    TSnapshot snapshot;
    return snapshot.Parse(text).value_or(QString());
}

} // namespace

TEST(Snapshot, ReadsTheDocumentedExampleAndWritesItBackByteForByte) {
    TSnapshot snapshot;
    ASSERT_EQ(snapshot.Parse(kExample), std::nullopt);
    EXPECT_EQ(snapshot.DeviceValue("ID"), "0123456789");
    EXPECT_EQ(snapshot.DeviceValue("alias"), "VAN_42");
    EXPECT_EQ(snapshot.Param("P04"), "60,10,1");
    EXPECT_EQ(snapshot.Param("p11.3"), "3,13900000003");
    EXPECT_EQ(snapshot.Param("P05"), std::nullopt);
    EXPECT_EQ(snapshot.Params().size(), 5);
    EXPECT_EQ(snapshot.ToBytes(), kExample);
}

TEST(Snapshot, ValuesAreKeptExactlyAndUnknownLinesSurviveARewrite) {
    TSnapshot snapshot;
    ASSERT_EQ(snapshot.Parse("; made by hand\n"
                             "[Device]\n"
                             "ID = 42 \n"
                             "Owner=Fleet 7\n"
                             "[Params]\n"
                             "P17= VAN 42 \n"
                             "P05=10.0.0.1,9000,CMNET,,\n"
                             "Note=checked twice\n"
                             "[Workshop]\n"
                             "Bench=3\n"),
              std::nullopt);
    EXPECT_EQ(snapshot.DeviceValue("ID"), "42");
    EXPECT_EQ(snapshot.Param("P17"), " VAN 42 "); // a device text, blanks included
    snapshot.SetParam("P05", "10.0.0.2,9000,CMNET,,");
    snapshot.SetParam("P03", "+86");
    snapshot.SetParam("P16", "85"); // no setting: not kept
    // A file with bare LF line ends keeps them.
    EXPECT_EQ(snapshot.ToBytes(), "; made by hand\n"
                                  "[Device]\n"
                                  "ID=42\n"
                                  "Owner=Fleet 7\n"
                                  "[Params]\n"
                                  "P17= VAN 42 \n"
                                  "P05=10.0.0.2,9000,CMNET,,\n"
                                  "Note=checked twice\n"
                                  "P03=+86\n"
                                  "[Workshop]\n"
                                  "Bench=3\n");
    // A device text with a line break cannot break the file.
    snapshot.SetParam("P17", "A\r\nB=1");
    EXPECT_EQ(snapshot.Param("P17"), "A  B=1");
    TSnapshot again;
    EXPECT_EQ(again.Parse(snapshot.ToBytes()), std::nullopt);
}

TEST(Snapshot, MalformedTextIsRefusedNamingTheLine) {
    struct TCase {
        QByteArray text;
        const char* error;
    };
    const QByteArray head = "[Device]\r\nID=1\r\n[Params]\r\n";
    const TCase cases[] = {
        {head + "P03\r\n", "line 4: expected \"[Section]\", \"KEY=VALUE\" or a comment"},
        {head + "=5\r\n", "line 4: no key before \"=\""},
        {"P03=1\r\n[Params]\r\n", "line 1: P03 comes before the first section"},
        {head + "[Params\r\n", "line 4: a section line is \"[Name]\""},
        {head + "[ ]\r\n", "line 4: a section line is \"[Name]\""},
        {head + "P16=85\r\n", "line 4: P16 is no parameter a snapshot can hold"},
        {head + "P20=\r\n", "line 4: P20 is no parameter a snapshot can hold"},
        {head + "P08.65=65,0,0,0,0,\r\n", "line 4: P08.65 is no parameter a snapshot can hold"},
        {head + "p11.0=0,5\r\n", "line 4: p11.0 is no parameter a snapshot can hold"},
        {head + "P01=V2\r\n", "line 4: P01 cannot be written"},
        {head + "T01=0,A,1,2,3\r\n", "line 4: T01 cannot be written"},
        {head + "P04=60,10\r\n", "line 4: P04 takes 3 field(s), not 2"},
        {head + "P11.3=4,139\r\n", "line 4: P11.3 must begin with 3"},
        {head + "P21=x\r\n", "line 4: P21 must begin with the number of values"},
        {head + "P03=1\r\nP04=60,10,1\r\np03=2\r\n", "line 6: P03 repeats line 4"},
        {head + "P17=A\x01"
                "B\r\n",
         "line 4: holds a control character"},
        {head + "P17=" + QByteArray(300, 'A') + "\r\n",
         "line 4: P17: Another name holds 300 characters; at most 20 fit"},
        {head + "P17=x!!(P20)!\r\n", "line 4: P17: Another name cannot hold \"!\""},
        {head + "P21=1,60)(P20,1)(P03,1,+999\r\n",
         "line 4: P21 counts 1 time point(s) but lists 4"},
        {head + "P17=\xFF\xFE\r\n", "line 4: not UTF-8 text"},
        {"[Device]\r\nID=1\r\n", "no [Params] section"},
        {"", "no [Params] section"},
        {"[Device]\r\nFormat=99\r\n[Params]\r\n",
         "line 2: the file is in snapshot format 99, newer than this program reads (format 1)"},
        {"[device]\r\nformat = 0\r\n[Params]\r\n",
         "line 2: Format is a snapshot format number, not \"0\""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(ParseError(c.text), QLatin1String(c.error));
    }
    // Format 1, written or not, is this program's.
    EXPECT_EQ(ParseError("[Device]\r\nFormat=1\r\n[Params]\r\n"), QString());
    EXPECT_EQ(ParseError(head), QString());
    // A refused text leaves nothing behind.
    TSnapshot snapshot;
    ASSERT_EQ(snapshot.Parse(kExample), std::nullopt);
    EXPECT_TRUE(snapshot.Parse(head + "P04=1\r\n"));
    EXPECT_TRUE(snapshot.Params().isEmpty());
    EXPECT_TRUE(snapshot.DeviceValue("ID").isEmpty());
}

TEST(Snapshot, FilesAreWrittenWholeAndErrorsNameTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("fleet/van.snapshot");
    TSnapshot snapshot;
    ASSERT_EQ(snapshot.Parse(kExample), std::nullopt);
    ASSERT_EQ(snapshot.Save(path), std::nullopt);
    TSnapshot loaded;
    ASSERT_EQ(loaded.Load(path), std::nullopt);
    EXPECT_EQ(loaded.ToBytes(), kExample);
    EXPECT_EQ(QDir(dir.filePath("fleet")).entryList(QDir::Files), QStringList{"van.snapshot"});

    QFile bad(dir.filePath("bad.snapshot"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("[Params]\r\nP04=1\r\n");
    bad.close();
    EXPECT_EQ(loaded.Load(bad.fileName()).value_or(QString()),
              bad.fileName() + ": line 2: P04 takes 3 field(s), not 1");
    EXPECT_TRUE(loaded.Params().isEmpty());
    EXPECT_TRUE(loaded.Load(dir.filePath("missing.snapshot"))
                    .value_or(QString())
                    .startsWith("Cannot read "));
    EXPECT_TRUE(snapshot.Save(dir.filePath("bad.snapshot/inside")).has_value());
}

TEST(Snapshot, DiffListsTheParametersThatDiffer) {
    TSnapshot a;
    TSnapshot b;
    ASSERT_EQ(a.Parse(kExample), std::nullopt);
    ASSERT_EQ(b.Parse(kExample), std::nullopt);
    b.SetDeviceValue("ID", "999"); // another unit with the same settings
    EXPECT_TRUE(CompareSnapshots(a, b).empty());
    b.SetParam("P04", "60,10,0");
    b.SetParam("P09", "300");
    a.SetParam("P08.64", "64,0,0,0,0,");
    const auto rows = CompareSnapshots(a, b);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].Key, "P04");
    EXPECT_EQ(rows[0].A, "60,10,1");
    EXPECT_EQ(rows[0].B, "60,10,0");
    EXPECT_EQ(rows[1].Key, "P08.64");
    EXPECT_EQ(rows[1].Caption, "Geo-fence 64");
    EXPECT_EQ(rows[1].B, std::nullopt);
    EXPECT_EQ(rows[2].Key, "P09");
    EXPECT_EQ(rows[2].A, std::nullopt);

    // A device's value no field can hold is listed with a word, control bytes escaped.
    TSessionReport verify;
    verify.Params.push_back({"P03", "+8613800138000", QString("+86\x01"), TParamState::Differs});
    const auto device = CompareWithDevice(a, verify);
    ASSERT_FALSE(device.empty());
    EXPECT_EQ(device[0].FaultB, "P03: SMS Primary number cannot hold \"\\x01\"");
    EXPECT_EQ(ShownValue(*device[0].B, device[0].FaultB),
              "+86\\x01 (unusual: P03: SMS Primary number cannot hold \"\\x01\")");
    EXPECT_EQ(ShownValue("VAN", QString()), "VAN");
}
