#pragma once

#include "uMessageService.h"

#include <QPointer>
#include <QWidget>

// The message boxes and file dialogs the user sees, owned by the main window once it is set.
class TQtMessageService : public IMessageService {
public:
    void SetOwner(QWidget* owner) { FOwner = owner; }

    void ShowMessage(const QString& text, const QString& caption, TMessageIcon icon) override;
    std::optional<QString> GetSaveFileName(const QString& proposedName,
                                           const QString& filter) override;
    std::optional<QString> GetOpenFileName(const QString& folder, const QString& filter) override;
    bool Confirm(const QString& text, const QString& caption) override;

private:
    QPointer<QWidget> FOwner;
};
