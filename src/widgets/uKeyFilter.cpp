#include "uKeyFilter.h"

#include <QKeyEvent>

TKeyFilter::TKeyFilter(QString allowed, QObject* parent)
    : QObject(parent), FAllowed(std::move(allowed)) {}

bool TKeyFilter::Allows(QChar typed) const {
    return typed.unicode() < 0x20 || FAllowed.contains(typed);
}

bool TKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() == 1 && !(key->modifiers() & Qt::ControlModifier) && !Allows(text[0])) {
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
