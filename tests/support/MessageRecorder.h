#pragma once

#include "uMessageService.h"

#include <QList>
#include <QStringList>

// Records the window's message boxes and answers its file dialogs, so nothing blocks.
class TMessageRecorder : public IMessageService {
public:
    struct TMessage {
        QString Text;
        QString Caption;
        TMessageIcon Icon;
    };

    void ShowMessage(const QString& text, const QString& caption, TMessageIcon icon) override {
        Messages.append({text, caption, icon});
    }
    std::optional<QString> GetSaveFileName(const QString& proposedName, const QString&) override {
        Proposed.append(proposedName);
        return FileAnswer;
    }
    std::optional<QString> GetOpenFileName(const QString& folder, const QString&) override {
        Proposed.append(folder);
        return FileAnswer;
    }
    bool Confirm(const QString& text, const QString& caption) override {
        Questions.append({text, caption, TMessageIcon::Warning});
        return ConfirmAnswer;
    }

    QList<TMessage> Messages;
    QList<TMessage> Questions;         // every question asked with Confirm
    bool ConfirmAnswer = true;         // what the user answers every question with
    QStringList Proposed;              // what each file dialog was started with
    std::optional<QString> FileAnswer; // the path every file dialog returns; nullopt cancels
};
