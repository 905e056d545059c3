#include "uFieldMark.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int kSize = 14;

QPixmap Badge(TFieldMark mark) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF box(1, 1, kSize - 2, kSize - 2);
    QString glyph;
    switch (mark) {
    case TFieldMark::Edited:
        painter.setBrush(QColor(0x1E, 0x64, 0xC8));
        painter.drawEllipse(box.adjusted(2, 2, -2, -2));
        break;
    case TFieldMark::Differs: {
        QPainterPath triangle;
        triangle.moveTo(box.center().x(), box.top());
        triangle.lineTo(box.right(), box.bottom());
        triangle.lineTo(box.left(), box.bottom());
        triangle.closeSubpath();
        painter.setBrush(QColor(0xD2, 0x78, 0x00));
        painter.drawPath(triangle);
        glyph = QStringLiteral("!");
        break;
    }
    case TFieldMark::Unconfirmed:
        painter.setBrush(QColor(0x70, 0x70, 0x70));
        painter.drawRect(box);
        glyph = QStringLiteral("?");
        break;
    case TFieldMark::Unknown:
        painter.setPen(QPen(QColor(0x70, 0x70, 0x70), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(box.adjusted(1, 1, -1, -1));
        break;
    case TFieldMark::None:
        break;
    }
    if (!glyph.isEmpty()) {
        QFont font = painter.font();
        font.setPixelSize(kSize - 4);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(box.adjusted(0, 2, 0, 0), Qt::AlignCenter, glyph);
    }
    return pixmap;
}

} // namespace

QIcon FieldMarkIcon(TFieldMark mark) {
    return mark == TFieldMark::None ? QIcon() : QIcon(Badge(mark));
}
