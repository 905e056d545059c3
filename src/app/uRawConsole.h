#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLineEdit;
class QPlainTextEdit;
class TExchangeEngine;

// The console of the advanced page: sends a typed command, clears and saves the page's
// transcript. Dialogs come from the window, so tests can answer them.
class TRawConsole : public QObject {
    Q_OBJECT
public:
    struct TDialogs {
        // Shows an error text under a caption.
        std::function<void(const QString& text, const QString& caption)> ShowError;
        // Asks for a file to save to; empty when the user cancels.
        std::function<QString(const QString& proposed, const QString& filter)> GetSaveFileName;
    };

    TRawConsole(TExchangeEngine& engine, QLineEdit* edt_Send, QPlainTextEdit* mm_Recv,
                TDialogs dialogs, QObject* parent = nullptr);

    void btn_AdvOper_SendClick();
    void btn_AdvOper_ClearClick();
    void btn_AdvOper_CmdSaveClick();

    // The transcript file for a chosen path: the path, the date "yyMMdd", a blank, the
    // time "HHmmss" and ".TXT".
    static QString StampedFileName(const QString& chosen);

private:
    TExchangeEngine& FEngine;
    QLineEdit* edt_Send;
    QPlainTextEdit* mm_Recv;
    TDialogs FDialogs;
    QString FLastSaveName = QStringLiteral("Tervo_Result");
};
