#pragma once

#include <QString>
#include <optional>

enum class TMessageIcon { Information, Warning, Error };

// Every message box and file dialog of the main window goes through here, so tests record
// them instead of blocking on a modal dialog.
class IMessageService {
public:
    virtual ~IMessageService() = default;

    // A message box with one OK button, modal to the window; it does not wait for the user, and
    // messages that come while one is shown follow it.
    virtual void ShowMessage(const QString& text, const QString& caption, TMessageIcon icon) = 0;
    // The chosen path, or nullopt when the user cancelled. Filters in Qt's form
    // ("TXT DOC (*.txt)").
    virtual std::optional<QString> GetSaveFileName(const QString& proposedName,
                                                   const QString& filter) = 0;
    virtual std::optional<QString> GetOpenFileName(const QString& folder,
                                                   const QString& filter) = 0;
    // A modal question with OK and Cancel, Cancel the default; true when the user chose OK.
    virtual bool Confirm(const QString& text, const QString& caption) = 0;
};
