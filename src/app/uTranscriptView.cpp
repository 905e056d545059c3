#include "uTranscriptView.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// Marks the first block once a line went into it: an empty document cannot tell "no line yet"
// from "one empty line" otherwise. Clearing the view drops the mark with the block.
constexpr int kLineWritten = 1;

} // namespace

void AppendTranscriptLine(QPlainTextEdit& view, const QString& line) {
    QTextDocument& document = *view.document();
    QTextBlock first = document.firstBlock();
    if (!document.isEmpty() || first.userState() != kLineWritten) {
        view.appendPlainText(line);
        document.firstBlock().setUserState(kLineWritten);
        return;
    }
    // Only empty lines so far: appendPlainText would add nothing.
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
    cursor.insertText(line);
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
}
