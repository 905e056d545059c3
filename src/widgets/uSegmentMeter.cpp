#include "uSegmentMeter.h"

#include <QAccessible>
#include <QPainter>
#include <algorithm>

namespace {

const QColor kRed(0xE0, 0x30, 0x30);
const QColor kNeutral(0xE0, 0xC0, 0x40);
const QColor kGreen(0x30, 0xB0, 0x40);
const QColor kUnlit(0xC8, 0xC8, 0xC8);

} // namespace

TSegmentMeter::TSegmentMeter(QWidget* parent) : QWidget(parent) {
    ConfigureSignal();
}

void TSegmentMeter::ConfigureSignal() {
    Configure(5, {kRed, kRed, kNeutral, kNeutral, kGreen}, true);
}

void TSegmentMeter::ConfigureBattery() {
    Configure(100, QList<QColor>(10, kGreen), false);
}

void TSegmentMeter::ConfigureVolume() {
    Configure(6, QList<QColor>(6, kGreen), true);
}

void TSegmentMeter::Configure(int maximum, QList<QColor> colors, bool growing) {
    FMaximum = maximum;
    FColors = std::move(colors);
    FGrowing = growing;
    SetValue(FValue);
    ReadingChanged();
}

void TSegmentMeter::SetValue(int value) {
    const int clamped = std::clamp(value, 0, FMaximum);
    if (clamped != FValue) {
        FValue = clamped;
        update();
        if (FPercentReading < 0) {
            ReadingChanged();
        }
    }
}

void TSegmentMeter::SetPercentReading(int percent) {
    const int reading = percent < 0 ? -1 : std::min(percent, 100);
    if (reading != FPercentReading) {
        FPercentReading = reading;
        update();
        ReadingChanged();
    }
}

QString TSegmentMeter::ReadingText() const {
    return FPercentReading >= 0 ? QStringLiteral("%1%").arg(FPercentReading)
                                : QStringLiteral("%1/%2").arg(FValue).arg(FMaximum);
}

void TSegmentMeter::ReadingChanged() {
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, Reading());
        QAccessible::updateAccessibility(&event);
    }
}

int TSegmentMeter::LitSegments() const {
    return (FValue * SegmentCount() + FMaximum / 2) / FMaximum;
}

void TSegmentMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    const int count = SegmentCount();
    const double step = static_cast<double>(width()) / count;
    const int lit = LitSegments();
    for (int i = 0; i < count; ++i) {
        const double share = FGrowing ? static_cast<double>(i + 1) / count : 1.0;
        const double h = (height() - 1) * share;
        const QRectF segment(i * step + 1, height() - 1 - h, step - 3, h);
        painter.setBrush(i < lit ? FColors[i] : kUnlit);
        painter.drawRect(segment);
    }
    if (FPercentReading >= 0) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter, ReadingText());
    }
}
