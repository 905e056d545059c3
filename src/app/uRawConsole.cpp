#include "uRawConsole.h"

#include "uAtomicFile.h"
#include "uExchangeEngine.h"
#include "uLanguage.h"
#include "uLinkError.h"
#include "uSessionLog.h"
#include "uUtils.h"

#include <QDate>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTime>

TRawConsole::TRawConsole(TExchangeEngine& engine, QLineEdit* edtSend, QPlainTextEdit* mmRecv,
                         TDialogs dialogs, QObject* parent)
    : QObject(parent), FEngine(engine), edt_Send(edtSend), mm_Recv(mmRecv),
      FDialogs(std::move(dialogs)) {
    // A long day of batches would otherwise grow the page without end; the session log in
    // the log folder keeps every line.
    mm_Recv->setMaximumBlockCount(kShownTranscriptLines);
}

void TRawConsole::btn_AdvOper_SendClick() {
    // Exactly as typed: no trimming, the field keeps its text for the next try.
    const QByteArray text = edt_Send->text().toLatin1();
    if (text.size() > kMaxFrameBody) {
        FDialogs.ShowError(
            TranslateText(QStringLiteral("The command is too long: at most 255 characters fit "
                                         "in one frame. Nothing was sent.")),
            TranslateText(QStringLiteral("Error")));
        return;
    }
    try {
        FEngine.SendTyped(text);
    } catch (const TLinkError& error) {
        FDialogs.ShowError(error.Text(), QStringLiteral("ERROR"));
    }
}

void TRawConsole::btn_AdvOper_ClearClick() {
    mm_Recv->clear();
}

void TRawConsole::btn_AdvOper_CmdSaveClick() {
    const QString chosen =
        FDialogs.GetSaveFileName(FLastSaveName, QStringLiteral("TXT DOC (*.txt)"));
    if (chosen.isEmpty()) {
        return;
    }
    FLastSaveName = chosen;
    QByteArray content;
    const QString text = mm_Recv->toPlainText();
    if (!text.isEmpty()) {
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            content.append(line.toUtf8()).append("\r\n");
        }
    }
    if (const auto error = WriteFileAtomic(StampedFileName(chosen), content)) {
        FDialogs.ShowError(*error, QStringLiteral("ERROR"));
    }
}

QString TRawConsole::StampedFileName(const QString& chosen) {
    // The date is read before the time, as the file names have always been built.
    const QDate date = QDate::currentDate();
    const QTime time = QTime::currentTime();
    return chosen + date.toString(QStringLiteral("yyMMdd")) + QLatin1Char(' ') +
           time.toString(QStringLiteral("HHmmss")) + QStringLiteral(".TXT");
}
