#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class IMessageService;
class QDialogButtonBox;
class QPushButton;
class TSnapshot;

// The window's Restore with a values file, as tervo-cli restore --values does for many
// devices: the connected device's row of the file (by its ID, or by the port) takes the place
// of the snapshot's values.
class TSnapshotValues {
public:
    // The dialog's result when the user chose Values....
    static constexpr int kChosen = 2;

    // The texts it shows, for the language file.
    static QStringList Texts();
    // The Values... button of the restore dialog; it ends the dialog with kChosen.
    static QPushButton* AddButton(QDialogButtonBox& buttons);
    // Asks for a values file and puts the device's row over templ into snapshot, and the row
    // as the job's record keeps it into record. The line the dialog shows about it, or
    // nullopt when the user cancelled or the file cannot be used (the message has been shown).
    static std::optional<QString> Choose(IMessageService& messages, const QString& deviceId,
                                         const QString& port, const TSnapshot& templ,
                                         TSnapshot& snapshot, QString& record);
};
