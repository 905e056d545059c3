#include "uPaintedAccessible.h"

#include "uLedDisplay.h"
#include "uSegmentMeter.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

namespace {

class TMeterAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TMeterAccessible(TSegmentMeter* meter)
        : QAccessibleWidget(meter, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? Meter().ReadingText() : QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return Meter().Reading(); }
    void setCurrentValue(const QVariant&) override {} // a display, not a control
    QVariant maximumValue() const override { return Meter().Maximum(); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    const TSegmentMeter& Meter() const { return *static_cast<const TSegmentMeter*>(object()); }
};

class TLedAccessible : public QAccessibleWidget {
public:
    explicit TLedAccessible(TLedDisplay* display)
        : QAccessibleWidget(display, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? static_cast<const TLedDisplay*>(object())->Text()
                                          : QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* PaintedWidgetAccessible(const QString& key, QObject* object) {
    if (auto* meter = qobject_cast<TSegmentMeter*>(object); meter && key == "TSegmentMeter") {
        return new TMeterAccessible(meter);
    }
    if (auto* display = qobject_cast<TLedDisplay*>(object); display && key == "TLedDisplay") {
        return new TLedAccessible(display);
    }
    return nullptr;
}

} // namespace

void InstallPaintedAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&PaintedWidgetAccessible);
        return true;
    }();
    static_cast<void>(installed);
}
