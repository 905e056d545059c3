#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

// The debug log window: a second transcript of every exchange, kept on top of the main
// window while the technician works. Created hidden on first use and kept for the run.
class TfrmDebugMemo : public QWidget {
    Q_OBJECT
public:
    explicit TfrmDebugMemo(QWidget* parent = nullptr);

    void AddLine(const QString& line);
    // Shows the window without blocking the main window and brings it to the front.
    void ShowAndRaise();
    // Captions through the current language.
    void ApplyTranslations();
    // Tooltips and the log's name through the current language; these are texts of its own,
    // Texts(), which the main window looks up after all of its original ones.
    void ApplyToolTips();
    static QStringList Texts();

    void btn_ClearClick();

private:
    QPushButton* btn_Clear = nullptr;
    QPlainTextEdit* mmDebug = nullptr;
    bool FPlaced = false;
};
