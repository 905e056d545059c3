#include "uStatusLamp.h"

#include <QPainter>

void TStatusLamp::SetLit(bool lit) {
    if (lit != FLit) {
        FLit = lit;
        update();
    }
}

void TStatusLamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0x40, 0x10, 0x10));
    painter.setBrush(FLit ? QColor(0xFF, 0x20, 0x20) : QColor(0x60, 0x18, 0x18));
    const int side = qMin(width(), height()) - 2;
    painter.drawEllipse(QRect((width() - side) / 2, (height() - side) / 2, side, side));
}
