#include "LocaleTestSupport.h"
#include "uAtomicFile.h"
#include "uIniDocument.h"
#include "uPrivateProfile.h"

#include <QCoreApplication>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using TPairs = QList<std::pair<QString, QString>>;

TEST(IniDocument, ReadsByTheLineRules) {
    TIniDocument doc;
    doc.Parse("top=before any section\n[ Config ]\n  Language =  english  \n;language=comment\n"
              "language=second\nflag\n=no key\n[other]\nk=v\n[CONFIG]\nextra=a=b\n");
    EXPECT_EQ(doc.Value("config", "LANGUAGE"), "english");
    EXPECT_EQ(doc.Value("config", "top"), std::nullopt);
    EXPECT_EQ(doc.Value("config", "flag"), std::nullopt);
    EXPECT_EQ(doc.Value("missing", "k"), std::nullopt);
    // A repeated section continues the first.
    EXPECT_EQ(
        doc.SectionPairs("config"),
        TPairs(
            {{"Language", "english"}, {"language", "second"}, {"", "no key"}, {"extra", "a=b"}}));
}

TEST(IniDocument, DecodesUtf8OrElseLatin1) {
    const std::pair<QByteArray, QString> cases[] = {
        {"\xEF\xBB\xBF[s]\nk=\xE6\x97\xA5\xE6\x9C\xAC", QString::fromUtf8("日本")},
        {"[s]\nk=\xE9t\xE9", QString::fromUtf8("été")},
        // A cut UTF-8 sequence at the very end makes the whole file Latin-1.
        {"[s]\nk=\xC3\xA9\xE6\x97", QString::fromLatin1("\xC3\xA9\xE6\x97")},
    };
    for (const auto& [bytes, expected] : cases) {
        TIniDocument doc;
        doc.Parse(bytes);
        EXPECT_EQ(doc.Value("s", "k"), expected) << bytes.toHex().toStdString();
    }
}

TEST(IniDocument, WritesInPlaceAndAppendsKeysAndSections) {
    TIniDocument doc;
    doc.Parse("[Para]\r\nCOM=1\r\nPort=80\r\n[foreign]\r\nx=y\r\n");
    doc.WriteString("para", "port", "8080");
    doc.WriteString("Para", "APN", "net");
    doc.WriteString("new", "k", "a\r\nb");
    EXPECT_EQ(doc.ToBytes(), "[Para]\r\nCOM=1\r\nPort=8080\r\nAPN=net\r\n\r\n"
                             "[foreign]\r\nx=y\r\n\r\n[new]\r\nk=a  b\r\n\r\n");
}

TEST(IniDocument, RoundTripsAFileAnotherProgramWrote) {
    TIniDocument doc;
    doc.Parse("; written by hand\n[Para]\nCOM = 2\n; keep me\nstray line\n\n\n"
              "[Extra]\r\nName=\"quoted\"\r");
    const QByteArray written = doc.ToBytes();
    EXPECT_EQ(written, "; written by hand\r\n[Para]\r\nCOM=2\r\n; keep me\r\nstray line\r\n\r\n"
                       "[Extra]\r\nName=\"quoted\"\r\n\r\n");
    doc.Parse(written);
    EXPECT_EQ(doc.ToBytes(), written);
}

TEST(IniDocument, KeepsTheBytesOfAnEightBitFile) {
    const QByteArray gbk = "\xD6\xD0\xB9\xFA"; // not UTF-8
    TIniDocument doc;
    doc.Parse("[Para]\r\nAPN=" + gbk + "\r\n");
    doc.WriteString("Para", "Port", "1");
    EXPECT_EQ(doc.ToBytes(), "[Para]\r\nAPN=" + gbk + "\r\nPort=1\r\n\r\n");
    // Text beyond Latin-1 can only be stored as UTF-8.
    doc.WriteString("Para", "Alias", QString::fromUtf8("日本"));
    const QString text = QString::fromUtf8(doc.ToBytes());
    EXPECT_TRUE(text.contains(QString::fromUtf8("Alias=日本")));
    EXPECT_TRUE(text.contains(QString::fromLatin1(gbk)));
}

// The mark is the file's, whether the rest is UTF-8 or not, and stays at the start.
TEST(IniDocument, ReadsAndKeepsAByteOrderMarkWhateverFollows) {
    const QByteArray bom = "\xEF\xBB\xBF";
    const std::pair<QByteArray, QString> cases[] = {
        {"[Para]\r\nAPN=\xC3\xA9t\xC3\xA9\r\n", QString::fromUtf8("été")},
        {"[Para]\r\nAPN=\xE9t\xE9\r\n", QString::fromUtf8("été")},
    };
    for (const auto& [rest, apn] : cases) {
        SCOPED_TRACE(rest.toHex().toStdString());
        TIniDocument doc;
        doc.Parse(bom + rest);
        EXPECT_EQ(doc.Value("Para", "APN"), apn);
        doc.WriteString("Para", "Port", "1");
        const QByteArray written = doc.ToBytes();
        EXPECT_EQ(written, bom + rest + "Port=1\r\n\r\n");
        EXPECT_EQ(written.count(bom), 1);
        EXPECT_EQ(written.count("[Para]"), 1);
        doc.Parse(written);
        EXPECT_EQ(doc.ToBytes(), written);
    }
    TIniDocument plain;
    plain.Parse("[Para]\r\nAPN=x\r\n");
    EXPECT_FALSE(plain.ToBytes().startsWith(bom));
    // A first line that starts with U+FEFF is text, and stays text when read again.
    for (const QByteArray& text : {QByteArray(1, '\0') + bom + "\r\ne", bom + bom + "\r\ne"}) {
        TIniDocument doc;
        doc.Parse(text);
        const QByteArray once = doc.ToBytes();
        TIniDocument again;
        again.Parse(once);
        EXPECT_EQ(again.ToBytes(), once) << text.toHex().toStdString();
    }
}

// Once the value that made a file Latin-1 is replaced, the rest must not turn into UTF-8.
TEST(IniDocument, AnEightBitFileNeverReadsBackAsOtherText) {
    TIniDocument doc;
    doc.Parse("[Para]\r\nAPN=\xE9\r\n");
    doc.WriteString("Para", "APN", QString::fromLatin1("\xC3\xA9"));
    TIniDocument reread;
    reread.Parse(doc.ToBytes());
    EXPECT_EQ(reread.Value("Para", "APN"), QString::fromLatin1("\xC3\xA9"));
}

TEST(IniTextToInt, ReadsDecimalAndHexadecimal) {
    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {"007", 7},         {"+7", 7},
        {"-7", -7},         {"$1F", 31},
        {"x1f", 31},        {"0X1f", 31},
        {"-$10", -16},      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", {}}, {"0x80000000", {}},
        {"", {}},           {"-", {}},
        {"0x", {}},         {"1.5", {}},
        {" 7", {}},         {"7 ", {}},
        {"0xG", {}},        {"\xD9\xA3", {}}, // an Arabic-Indic 3
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(IniTextToInt(QString::fromUtf8(text)), expected) << text;
    }
}

class PrivateProfile : public TempAppDirTest {};

TEST_F(PrivateProfile, TrimsUnquotesAndCutsValues) {
    WriteAll(Path("p.cfg"), "[Para]\r\nAPN = 'net' \r\nUser=\"me\"\r\nMixed='x\"\r\nOne='\r\n"
                            "Port=0x1F\r\nQuoted='31'\r\nBad=12ab\r\nLong=" +
                                QByteArray(3000, 'v') + "\r\n");
    const TPrivateProfile profile(Path("p.cfg"));
    EXPECT_EQ(profile.ReadString("PARA", "apn", "-"), "net");
    EXPECT_EQ(profile.ReadString("Para", "User", "-"), "me");
    EXPECT_EQ(profile.ReadString("Para", "Mixed", "-"), "'x\"");
    EXPECT_EQ(profile.ReadString("Para", "One", "-"), "'");
    EXPECT_EQ(profile.ReadString("Para", "Long", "-").size(), TPrivateProfile::kMaxProfileValue);
    EXPECT_EQ(profile.ReadString("Para", "Missing", "0"), "0");
    EXPECT_EQ(profile.ReadInteger("Para", "Port", 0), 31);
    EXPECT_EQ(profile.ReadInteger("Para", "Quoted", 0), 31);
    EXPECT_EQ(profile.ReadInteger("Para", "Bad", 5), 5);
    EXPECT_EQ(TPrivateProfile(Path("none.cfg")).ReadInteger("Para", "Port", 20), 20);
}

namespace {

// A write over an old file that must fail and leave the old file as it was.
class FailingWrite : public TempAppDirTest {
protected:
    void SetUp() override {
        WriteAll(Path("dir/old.ini"), "old");
        QFile(Path("dir/old.ini")).setPermissions(QFileDevice::Permissions(0x6666));
    }
    void ExpectFailureAndOldFile(const std::optional<QString>& error) {
        ASSERT_NE(error, std::nullopt);
        EXPECT_TRUE(error->contains("old.ini")) << error->toStdString();
        EXPECT_EQ(ReadAll(Path("dir/old.ini")), "old");
        EXPECT_EQ(QDir(Path("dir")).entryList(QDir::Files | QDir::Hidden), QStringList{"old.ini"});
    }
};

} // namespace

TEST_F(FailingWrite, InAReadOnlyFolder) {
    QFile(FDir.path()).setPermissions(QFileDevice::Permissions(0x7755));
    QFile(Path("dir")).setPermissions(QFileDevice::Permissions(0x5555));
    // Permission bits do not stop root, so root writes as an unprivileged user here.
    const bool root = geteuid() == 0;
    ASSERT_TRUE(!root || seteuid(65534) == 0);
    const auto error = WriteFileAtomic(Path("dir/old.ini"), "new");
    ASSERT_TRUE(!root || seteuid(0) == 0);
    QFile(Path("dir")).setPermissions(QFileDevice::Permissions(0x7755));
    ExpectFailureAndOldFile(error);
}

TEST_F(FailingWrite, OnAFullDisk) {
    // A file size limit stands in for a full disk; the signal it raises is ignored.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{1024, limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto error = WriteFileAtomic(Path("dir/old.ini"), QByteArray(1 << 16, 'n'));
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler);
    ExpectFailureAndOldFile(error);
}

// Writes killed at any point leave the last complete content; the temporary file has a name
// only from the moment it is complete until the rename, so nothing piles up.
TEST_F(FailingWrite, KilledWritesLeaveNothingThatPilesUp) {
    const QByteArray big(4 << 20, 'k');
    for (int kill = 0; kill < 20; ++kill) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                (void)WriteFileAtomic(Path("dir/old.ini"), big);
            }
        }
        usleep(static_cast<useconds_t>(2000 + 1500 * kill));
        ::kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const QByteArray content = ReadAll(Path("dir/old.ini"));
        EXPECT_TRUE(content == "old" || content == big) << content.size();
        EXPECT_LE(QDir(Path("dir")).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }
}
