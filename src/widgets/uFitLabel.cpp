#include "uFitLabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace {

constexpr int kSmallestPx = 10;

} // namespace

QFont TFitLabel::ShownFont() const {
    QFont shown = font();
    const int room = contentsRect().width();
    for (int px = shown.pixelSize(); px > kSmallestPx; --px) {
        if (QFontMetrics(shown).horizontalAdvance(text()) <= room) {
            break;
        }
        shown.setPixelSize(px - 1);
    }
    return shown;
}

QString TFitLabel::ShownText() const {
    return QFontMetrics(ShownFont()).elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void TFitLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(ShownFont());
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                          isEnabled(), ShownText(), foregroundRole());
}

// The whole text when it does not show whole; otherwise the tooltip given, if any.
bool TFitLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && ShownText() != text()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(),
                           toolTip().isEmpty() ? text() : text() + QLatin1Char('\n') + toolTip(),
                           this);
        return true;
    }
    return QLabel::event(event);
}
