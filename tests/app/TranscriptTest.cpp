// The transcripts on screen keep the newest lines; the session log in the log folder keeps all.
#include "WindowTestSupport.h"
#include "uSessionLog.h"

#include <QApplication>
#include <QDate>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

namespace {

class TranscriptTest : public WindowTest {
protected:
    static QPlainTextEdit* DebugMemo() {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* memo = top->findChild<QPlainTextEdit*>(QStringLiteral("mmDebug"))) {
                return memo;
            }
        }
        return nullptr;
    }
};

} // namespace

TEST_F(TranscriptTest, ScreensKeepTheNewestLinesWhileTheDayLogKeepsEveryLine) {
    Start();
    const int total = kShownTranscriptLines + 5;
    for (int i = 0; i < total; ++i) {
        Window->AddLog(QStringLiteral("line %1").arg(i));
    }

    auto* recv = Find<QPlainTextEdit>(QStringLiteral("mm_Recv"));
    QPlainTextEdit* memo = DebugMemo();
    ASSERT_NE(memo, nullptr);
    for (QPlainTextEdit* shown : {recv, memo}) {
        SCOPED_TRACE(shown->objectName().toStdString());
        EXPECT_EQ(shown->blockCount(), kShownTranscriptLines);
        EXPECT_EQ(shown->document()->firstBlock().text(), "line 5");
        EXPECT_EQ(shown->document()->lastBlock().text(), QStringLiteral("line %1").arg(total - 1));
    }

    // The log lies beside the settings file, one file per day, every line in it.
    const QString log = QFileInfo(SettingsFilePath()).absolutePath() + "/log/" +
                        QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + ".log";
    const QList<QByteArray> lines = ReadAll(log).split('\n');
    ASSERT_GE(lines.size(), total);
    EXPECT_EQ(lines.count("line 0\r"), 1);
    EXPECT_EQ(lines[lines.size() - 2], QStringLiteral("line %1\r").arg(total - 1).toUtf8());
    EXPECT_TRUE(lines.last().isEmpty());

    // The console's Save writes what the page shows.
    Messages.FileAnswer = Path("saved");
    Find<QPushButton>(QStringLiteral("btn_AdvOper_CmdSave"))->click();
    const QStringList saved = QDir(FDir.path()).entryList({"saved*.TXT"}, QDir::Files);
    ASSERT_EQ(saved.size(), 1);
    const QByteArray content = ReadAll(Path(saved.first()));
    EXPECT_EQ(content.count("\r\n"), kShownTranscriptLines);
    EXPECT_TRUE(content.startsWith("line 5\r\n"));
}

// A day log that cannot be written is said once; the transcripts still show every line.
TEST_F(TranscriptTest, ADayLogThatCannotBeWrittenIsSaidOnce) {
    const QString logDir = QFileInfo(SettingsFilePath()).absolutePath() + "/log";
    WriteAll(logDir, "a file where the log folder goes");
    Start();
    for (int i = 0; i < 3; ++i) {
        Window->AddLog(QStringLiteral("line %1").arg(i));
    }
    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_TRUE(Messages.Messages[0].Text.startsWith("The day log " + logDir + "/"))
        << Messages.Messages[0].Text.toStdString();
    EXPECT_EQ(Messages.Messages[0].Caption, "Day log");
    EXPECT_EQ(Find<QPlainTextEdit>(QStringLiteral("mm_Recv"))->document()->lastBlock().text(),
              "line 2");
}
