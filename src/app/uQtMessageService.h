#pragma once

#include "uMessageService.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <deque>

// The message boxes and file dialogs the user sees, owned by the main window once it is set.
// A message box is window-modal and does not wait: whatever is being handled (a reply from the
// device among others) goes on, and the line keeps being read while the box is open. Messages
// that come while one is open wait their turn, so boxes never stack.
class TQtMessageService : public IMessageService {
public:
    ~TQtMessageService() override;

    void SetOwner(QWidget* owner) { FOwner = owner; }

    void ShowMessage(const QString& text, const QString& caption, TMessageIcon icon) override;
    std::optional<QString> GetSaveFileName(const QString& proposedName,
                                           const QString& filter) override;
    std::optional<QString> GetOpenFileName(const QString& folder, const QString& filter) override;
    bool Confirm(const QString& text, const QString& caption) override;

    // The message box on screen; nullptr when none is.
    QMessageBox* Shown() const { return FShown; }

private:
    struct TMessage {
        QString Text;
        QString Caption;
        TMessageIcon Icon;
    };
    void ShowNext();

    QPointer<QWidget> FOwner;
    QPointer<QMessageBox> FShown;
    std::deque<TMessage> FWaiting;
};
