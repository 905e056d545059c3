#include "uSnapshotValues.h"

#include "uAppPaths.h"
#include "uBatchOutcome.h"
#include "uLanguage.h"
#include "uMessageService.h"
#include "uSnapshot.h"
#include "uUtils.h"
#include "uValuesFile.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>

namespace {

const char* const kButtonText = "Values... [&L]";
const char* const kButtonTip = "Take this device's row of a values file (CSV: a column ID or "
                               "PORT, then snapshot keys such as P17) in place of the snapshot's "
                               "values, then list what differs again";
const char* const kFilter = "Values files (*.csv);;All files (*)";
const char* const kNotNamed = "%1 has no row for device %2 (port %3).";
const char* const kNote = "Values of this device from %1, line %2: %3";
const char* const kNothing = "Values of this device from %1, line %2: none, its cells are empty";

QString Tr(const char* text) {
    return TranslateText(QString::fromLatin1(text));
}

} // namespace

QStringList TSnapshotValues::Texts() {
    return Latin1Texts({kButtonText, kButtonTip, kFilter, kNotNamed, kNote, kNothing});
}

QPushButton* TSnapshotValues::AddButton(QDialogButtonBox& buttons) {
    QPushButton* button = buttons.addButton(Tr(kButtonText), QDialogButtonBox::ActionRole);
    button->setObjectName(QStringLiteral("btnSnapshotValues"));
    button->setToolTip(Tr(kButtonTip));
    button->setAccessibleName(BatchLabel(button->text()));
    return button;
}

std::optional<QString> TSnapshotValues::Choose(IMessageService& messages, const QString& deviceId,
                                               const QString& port, const TSnapshot& templ,
                                               TSnapshot& snapshot, QString& record) {
    const QString folder = UserFolder(QStringLiteral("snapshots"));
    const auto path =
        messages.GetOpenFileName(QDir(folder).exists() ? folder : QString(), Tr(kFilter));
    if (!path) {
        return std::nullopt;
    }
    TValuesFile values;
    if (const auto error = values.Load(*path)) {
        messages.ShowMessage(*error, QStringLiteral("ERROR"), TMessageIcon::Error);
        return std::nullopt;
    }
    const QString name = QFileInfo(*path).fileName();
    const TValuesRow* row = values.RowFor(deviceId, port);
    if (!row) {
        messages.ShowMessage(Tr(kNotNamed).arg(name, deviceId, port), QStringLiteral("ERROR"),
                             TMessageIcon::Error);
        return std::nullopt;
    }
    snapshot = TValuesFile::Apply(templ, *row);
    record = row->RecordText(name);
    if (row->Values.isEmpty()) {
        return Tr(kNothing).arg(name).arg(row->Line);
    }
    return Tr(kNote).arg(name).arg(row->Line).arg(row->Keys().join(QStringLiteral(", ")));
}
