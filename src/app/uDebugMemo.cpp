#include "uDebugMemo.h"

#include "uLanguage.h"
#include "uSessionLog.h"
#include "uTranscriptView.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

const char* const kClearTip = "Empties this log; the transcript in the main window stays";
const char* const kLogTip = "Every command sent and reply received, as in the main window";

} // namespace

TfrmDebugMemo::TfrmDebugMemo(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmDebugMemo"));
    resize(812, 461);

    auto* panel = new QWidget(this);
    auto* top = new QHBoxLayout(panel);
    top->setContentsMargins(4, 4, 4, 4);
    btn_Clear = new QPushButton(panel);
    btn_Clear->setObjectName(QStringLiteral("btn_Clear"));
    top->addWidget(btn_Clear);
    top->addStretch();

    mmDebug = new QPlainTextEdit(this);
    mmDebug->setObjectName(QStringLiteral("mmDebug"));
    mmDebug->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmDebug->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmDebug->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmDebug->setFont(QFont(QStringLiteral("Arial")));
    mmDebug->setMaximumBlockCount(kShownTranscriptLines);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(panel);
    layout->addWidget(mmDebug);

    connect(btn_Clear, &QPushButton::clicked, this, &TfrmDebugMemo::btn_ClearClick);
    ApplyTranslations();
}

void TfrmDebugMemo::AddLine(const QString& line) {
    AppendTranscriptLine(*mmDebug, line);
}

void TfrmDebugMemo::ShowAndRaise() {
    if (!FPlaced) {
        // Centred on the desktop the first time; later where the user left it.
        FPlaced = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect box = frameGeometry();
            box.moveCenter(screen->availableGeometry().center());
            move(box.topLeft());
        }
    }
    show();
    raise();
    activateWindow();
}

void TfrmDebugMemo::ApplyTranslations() {
    setWindowTitle(TranslateText(QStringLiteral("Debug Memo")));
    btn_Clear->setText(TranslateText(QStringLiteral("Clear")));
}

void TfrmDebugMemo::ApplyToolTips() {
    btn_Clear->setToolTip(TranslateText(QString::fromLatin1(kClearTip)));
    mmDebug->setToolTip(TranslateText(QString::fromLatin1(kLogTip)));
    mmDebug->setAccessibleName(TranslateText(QStringLiteral("Debug Memo")));
}

QStringList TfrmDebugMemo::Texts() {
    return {QString::fromLatin1(kClearTip), QString::fromLatin1(kLogTip)};
}

void TfrmDebugMemo::btn_ClearClick() {
    mmDebug->clear();
}
