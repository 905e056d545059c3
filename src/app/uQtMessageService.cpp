#include "uQtMessageService.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon BoxIcon(TMessageIcon icon) {
    switch (icon) {
    case TMessageIcon::Information:
        return QMessageBox::Information;
    case TMessageIcon::Warning:
        return QMessageBox::Warning;
    case TMessageIcon::Error:
        break;
    }
    return QMessageBox::Critical;
}

std::optional<QString> Chosen(const QString& path) {
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

} // namespace

TQtMessageService::~TQtMessageService() {
    delete FShown.data(); // one without an owner
}

void TQtMessageService::ShowMessage(const QString& text, const QString& caption,
                                    TMessageIcon icon) {
    FWaiting.push_back({text, caption, icon});
    if (!FShown) {
        ShowNext();
    }
}

void TQtMessageService::ShowNext() {
    if (FWaiting.empty()) {
        return;
    }
    const TMessage message = FWaiting.front();
    FWaiting.pop_front();
    FShown = new QMessageBox(BoxIcon(message.Icon), message.Caption, message.Text, QMessageBox::Ok,
                             FOwner);
    FShown->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(FShown, &QDialog::finished, FShown, [this] {
        FShown = nullptr;
        ShowNext();
    });
    FShown->open();
}

bool TQtMessageService::Confirm(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    FOwner);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

std::optional<QString> TQtMessageService::GetSaveFileName(const QString& proposedName,
                                                          const QString& filter) {
    return Chosen(QFileDialog::getSaveFileName(FOwner, QString(), proposedName, filter, nullptr,
                                               QFileDialog::DontConfirmOverwrite));
}

std::optional<QString> TQtMessageService::GetOpenFileName(const QString& folder,
                                                          const QString& filter) {
    return Chosen(QFileDialog::getOpenFileName(FOwner, QString(), folder, filter));
}
