#include "uAccessKeyGuard.h"

#include <QKeyEvent>

bool TAccessKeyGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers =
            key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
        // A shortcut that took the key has consumed it before; what comes here found none.
        if (modifiers == Qt::AltModifier && !key->text().isEmpty() && key->text()[0].isPrint()) {
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
