// The debug log window and the console of the advanced page, on a fake line.
#include "FakeCommPort.h"
#include "uDebugMemo.h"
#include "uEngineHost.h"
#include "uExchangeEngine.h"
#include "uRawConsole.h"
#include "uUtils.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Both transcripts, fed the way the window feeds them.
class TTranscriptHost : public IEngineHost {
public:
    void AddLog(const QString& line) override {
        Recv.appendPlainText(line);
        Memo.AddLine(line);
    }
    void ShowProgress(int, int) override {}
    void SetDeviceButtons(bool) override {}
    void HandleReply(const QByteArray&) override { Engine->NextCmd(); }
    QString TranslateText(const QString& text) override { return text; }

    QPlainTextEdit Recv;
    TfrmDebugMemo Memo;
    TExchangeEngine* Engine = nullptr;
};

class ConsoleTest : public ::testing::Test {
protected:
    ConsoleTest() {
        Host.Engine = &Engine;
        Port.Open();
    }

    QString MemoText() const {
        return Host.Memo.findChild<QPlainTextEdit*>(QStringLiteral("mmDebug"))->toPlainText();
    }

    TFakeCommPort Port;
    TTranscriptHost Host;
    TExchangeEngine Engine{Port, Host};
    QLineEdit Edit;
    QStringList Errors;
    QString SaveAnswer;
    QStringList Proposed;
    TRawConsole Console{Engine, &Edit, &Host.Recv,
                        TRawConsole::TDialogs{[this](const QString& text, const QString& caption) {
                                                  Errors.append(caption + ": " + text);
                                              },
                                              [this](const QString& proposed, const QString&) {
                                                  Proposed.append(proposed);
                                                  return SaveAnswer;
                                              }}};
};

} // namespace

TEST_F(ConsoleTest, SendsTheTypedTextFramedUnchangedIntoBothTranscripts) {
    Edit.setText(QStringLiteral(" (P=,1) "));
    Console.btn_AdvOper_SendClick();
    ASSERT_EQ(Port.Written.size(), 1);
    EXPECT_EQ(Port.Written.first(), EncodeFrame(" (P=,1) ").value());
    EXPECT_EQ(Edit.text(), " (P=,1) "); // kept for the next try
    Port.Feed(EncodeFrame("(1,P03,5)").value());
    EXPECT_EQ(MemoText(), Host.Recv.toPlainText());
    EXPECT_TRUE(Host.Recv.toPlainText().contains(">> Send :  (P=,1) \n"));
    EXPECT_TRUE(Host.Recv.toPlainText().endsWith("<< Read : (1,P03,5)"));
}

TEST_F(ConsoleTest, RefusesATextThatDoesNotFitAFrame) {
    Edit.setText(QString(256, QLatin1Char('x')));
    Console.btn_AdvOper_SendClick();
    EXPECT_TRUE(Port.Written.isEmpty());
    EXPECT_TRUE(Host.Recv.toPlainText().isEmpty());
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors.first().startsWith("Error: The command is too long"));

    Edit.setText(QString(255, QLatin1Char('x')));
    Console.btn_AdvOper_SendClick();
    EXPECT_EQ(Port.Written.size(), 1);
}

TEST_F(ConsoleTest, AWriteErrorIsReportedWithItsOwnText) {
    Port.FailWriteWith = QStringLiteral("Write error: device gone");
    Console.btn_AdvOper_SendClick();
    EXPECT_EQ(Errors, QStringList{"ERROR: Write error: device gone"});
}

TEST_F(ConsoleTest, EachClearEmptiesOnlyItsOwnTranscript) {
    Edit.setText(QStringLiteral("(T01,0)"));
    Console.btn_AdvOper_SendClick();
    Console.btn_AdvOper_ClearClick();
    EXPECT_TRUE(Host.Recv.toPlainText().isEmpty());
    EXPECT_FALSE(MemoText().isEmpty());

    Console.btn_AdvOper_SendClick();
    Host.Memo.findChild<QPushButton*>(QStringLiteral("btn_Clear"))->click();
    EXPECT_TRUE(MemoText().isEmpty());
    EXPECT_FALSE(Host.Recv.toPlainText().isEmpty());
}

TEST_F(ConsoleTest, TheDebugWindowKeepsLinesLoggedWhileHidden) {
    EXPECT_FALSE(Host.Memo.isVisible());
    Host.AddLog(QStringLiteral("first"));
    Host.Memo.ShowAndRaise();
    Host.Memo.hide();
    Host.AddLog(QStringLiteral("second"));
    Host.Memo.ShowAndRaise();
    EXPECT_TRUE(Host.Memo.isVisible());
    EXPECT_EQ(MemoText(), "first\nsecond");
    EXPECT_EQ(Host.Memo.size(), QSize(812, 461));
    EXPECT_TRUE(Host.Memo.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(ConsoleTest, SavesTheTranscriptToAStampedFileWithCrLf) {
    QTemporaryDir dir;
    Host.Recv.setPlainText(QStringLiteral("one\n\nthree"));
    SaveAnswer = dir.filePath(QStringLiteral("Tervo_Result"));
    Console.btn_AdvOper_CmdSaveClick();
    Console.btn_AdvOper_CmdSaveClick(); // proposes the name chosen last time
    EXPECT_EQ(Proposed, (QStringList{"Tervo_Result", SaveAnswer}));

    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    const QRegularExpression stamp(QStringLiteral("^Tervo_Result\\d{6} \\d{6}\\.TXT$"));
    for (const QString& name : files) {
        EXPECT_TRUE(stamp.match(name).hasMatch()) << name.toStdString();
    }
    QFile saved(dir.filePath(files.last()));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "one\r\n\r\nthree\r\n");
    EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(ConsoleTest, ACancelledOrFailedSaveLeavesNoFile) {
    SaveAnswer.clear();
    Console.btn_AdvOper_CmdSaveClick();
    EXPECT_TRUE(Errors.isEmpty());

    // A folder that cannot exist, since a file of that name is in the way: fails for
    // every user, root included.
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("notafolder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SaveAnswer = dir.filePath(QStringLiteral("notafolder/log"));
    Host.Recv.setPlainText(QStringLiteral("x"));
    Console.btn_AdvOper_CmdSaveClick();
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors.first().startsWith("ERROR: "));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"notafolder"});
}
