#include "uValuesFile.h"

#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QByteArray kTemplate = "[Params]\r\nP03=+8613800138000\r\nP17=FLEET\r\nP10=20\r\n";

TSnapshot Template() {
    TSnapshot snapshot;
    EXPECT_EQ(snapshot.Parse(kTemplate), std::nullopt);
    return snapshot;
}

} // namespace

TEST(ValuesFile, GivesEachDeviceItsRowOverTheTemplate) {
    TValuesFile file;
    // A BOM, CR LF and LF, quoted cells with commas, doubled quotes and a line break before
    // the row, a blank line, an empty cell that keeps the template's value.
    ASSERT_EQ(file.Parse("\xEF\xBB\xBFid,P17,P11.2,p10\r\n"
                         "101,VAN_1,\"2,13900000002\",\r\n"
                         "\n"
                         "0102,\"VAN \"\"2\"\"\",,30\n",
                         "fleet.csv"),
              std::nullopt);
    EXPECT_EQ(file.KeyColumn(), TValuesFile::TKeyColumn::Id);
    ASSERT_EQ(file.Rows().size(), 2u);
    const TValuesRow* first = file.RowFor("101", "/dev/ttyUSB9");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Line, 2);
    EXPECT_EQ(first->Keys(), (QStringList{"P17", "P11.2"}));
    const TSnapshot one = TValuesFile::Apply(Template(), *first);
    EXPECT_EQ(one.Param("P17"), "VAN_1");
    EXPECT_EQ(one.Param("P11.2"), "2,13900000002");
    EXPECT_EQ(one.Param("P10"), "20");
    EXPECT_EQ(one.Param("P03"), "+8613800138000");
    const TValuesRow* second = file.RowFor("0102", QString());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Line, 4);
    EXPECT_EQ(TValuesFile::Apply(Template(), *second).Param("P17"), "VAN \"2\"");
    EXPECT_EQ(file.RowFor("102", QString()), nullptr) << "identities are compared as text";

    // By port: a bare name and its path are one port.
    ASSERT_EQ(file.Parse("PORT,P17\r\nttyUSB0,A\r\n/dev/ttyUSB1,B\r\n", "ports.csv"), std::nullopt);
    EXPECT_EQ(file.RowFor("101", "/dev/ttyUSB0")->Device, "ttyUSB0");
    EXPECT_EQ(file.RowFor(QString(), "ttyUSB1")->Line, 3);
    EXPECT_EQ(file.RowFor("101", "ttyUSB2"), nullptr);
}

TEST(ValuesFile, RefusesTheWholeFileNamingLineAndColumn) {
    const struct {
        QByteArray Text;
        const char* Error;
    } cases[] = {
        {"", "v.csv: line 1: no header row (ID or PORT, then snapshot keys)"},
        {"SERIAL,P17\r\n1,A\r\n",
         "v.csv: line 1, column 1: the first column is ID or PORT, not \"SERIAL\""},
        {"ID\r\n1\r\n", "v.csv: line 1: no column of values after the first"},
        {"ID,P17,P99\r\n", "v.csv: line 1, column 3: \"P99\" is no key a snapshot holds"},
        {"ID,P01\r\n", "v.csv: line 1, column 2: P01 cannot be written"},
        {"ID,P17,p17\r\n", "v.csv: line 1, column 3: P17 repeats column 2"},
        {"ID,P17\r\n101,A,B\r\n", "v.csv: line 2: 3 cells, but the header has 2"},
        {"ID,P17\r\nX1,A\r\n",
         "v.csv: line 2, column 1: a device ID is 1 to 20 digits, not \"X1\""},
        {"ID,P17\r\n101,A\r\n101,B\r\n", "v.csv: line 3, column 1: 101 has a row already (line 2)"},
        {"PORT,P17\r\nttyUSB0,A\r\n/dev/ttyUSB0,B\r\n",
         "v.csv: line 3, column 1: /dev/ttyUSB0 has a row already (line 2)"},
        {"PORT,P17\r\n ,A\r\n", "v.csv: line 2, column 1: no port"},
        {"ID,P17,P04\r\n101,A,\"60,10\"\r\n",
         "v.csv: line 2, column 3: P04 takes 3 field(s), not 2"},
        {"ID,P17,P11.2\r\n101,A,3\r\n", "v.csv: line 2, column 3: P11.2 takes 2 field(s), not 1"},
        {"ID,P17\r\n101,\"A\nB\"\r\n",
         "v.csv: line 2, column 2: P17: Another name cannot hold \"\\x0a\""},
        {"ID,P17\r\n101,\"A\r\n", "v.csv: line 2, column 2: the quoted cell does not end"},
        {"ID,P17\r\n101,\"A\"B\r\n", "v.csv: line 2, column 2: text after the closing quote"},
        {"ID,P17\r\n101,A\"B\r\n",
         "v.csv: line 2, column 2: a quote in a cell that does not begin with one (quote the whole "
         "cell and double it)"},
        {"ID,P17\r\n101,\xE2\x82\xAC\r\n",
         "v.csv: line 2, column 2: P17: Another name cannot hold \"\u20AC\""},
        {"ID,P10\r\n101,\r\n102,abc\r\n",
         "v.csv: line 3, column 2: P10: Low battery cannot hold \"a\""},
        {"ID,P17\r\n101,A\r\n102,\xFF\r\n", "v.csv: line 3: not UTF-8 text"},
        // A quoted line break moves the lines that follow.
        {"ID,P17,P10\r\n\"10\r\n1\",A,1\r\n",
         "v.csv: line 2, column 1: a device ID is 1 to 20 digits, not \"10\r\n1\""},
        {"ID,P17,P10\r\n101,\"x\",\"1\r\n\"x\r\n",
         "v.csv: line 3, column 3: text after the closing quote"},
    };
    for (const auto& c : cases) {
        TValuesFile file;
        EXPECT_EQ(file.Parse(c.Text, "v.csv").value_or("accepted"), QString::fromUtf8(c.Error))
            << c.Text.toStdString();
        EXPECT_TRUE(file.Rows().empty());
    }
}
