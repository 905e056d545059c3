#include "LocaleTestSupport.h"
#include "uSessionLog.h"

class SessionLog : public TempAppDirTest {};

TEST_F(SessionLog, AppendsEveryLineToTheFileOfItsDay) {
    QDate today(2026, 12, 8);
    TSessionLog log(Path("log"), [&] { return today; });
    WriteAll(log.FilePath(today), "earlier session\r\n");
    log.Append(QStringLiteral("one"));
    log.Append(QString::fromUtf8("zwei \u00fc"));
    today = today.addDays(1);
    log.Append(QStringLiteral("three"));

    EXPECT_EQ(log.FilePath(QDate(2026, 12, 8)), Path("log/2026-12-08.log"));
    EXPECT_EQ(ReadAll(Path("log/2026-12-08.log")), "earlier session\r\none\r\nzwei \xC3\xBC\r\n");
    EXPECT_EQ(ReadAll(Path("log/2026-12-09.log")), "three\r\n");
    EXPECT_TRUE(log.LastError().isEmpty());
}

TEST_F(SessionLog, AFolderThatCannotBeMadeIsReportedAndLaterLinesStillTry) {
    WriteAll(Path("log"), "a file in the way");
    TSessionLog log(Path("log"));
    log.Append(QStringLiteral("lost"));
    EXPECT_FALSE(log.LastError().isEmpty());
    ASSERT_TRUE(QFile::remove(Path("log")));
    log.Append(QStringLiteral("kept"));
    EXPECT_TRUE(log.LastError().isEmpty());
    EXPECT_EQ(ReadAll(log.FilePath(QDate::currentDate())), "kept\r\n");
}
