#include "uLedDisplay.h"

#include <QAccessible>
#include <QFontDatabase>
#include <QPainter>

TLedDisplay::TLedDisplay(QWidget* parent) : QWidget(parent) {
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setBold(true);
    digits.setPixelSize(20);
    setFont(digits);
}

void TLedDisplay::SetText(const QString& text) {
    if (text != FText) {
        FText = text;
        update();
        if (QAccessible::isActive()) {
            QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&changed);
        }
    }
}

void TLedDisplay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x10, 0x18, 0x10));
    painter.drawRoundedRect(rect(), 4, 4);
    painter.setPen(QColor(0x40, 0xFF, 0x60));
    painter.drawText(rect(), Qt::AlignCenter, FText);
}
