#include "uAccessibility.h"

#include "uLedDisplay.h"
#include "uSegmentMeter.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace {

// A painted display describes itself by what it shows, unless something else has been said of
// it (a mark on the field, say).
bool IsPlainDescription(QAccessible::Text kind, const QWidget& display) {
    return kind == QAccessible::Description && display.accessibleDescription().isEmpty();
}

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
        return kind == QAccessible::Value || IsPlainDescription(kind, *widget())
                   ? Meter().ReadingText()
                   : QAccessibleWidget::text(kind);
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
        return kind == QAccessible::Value || IsPlainDescription(kind, *widget())
                   ? static_cast<const TLedDisplay*>(object())->Text()
                   : QAccessibleWidget::text(kind);
    }
};

// A list: named by its accessible name, its value the text shown; its children the typing
// field (when editable) and the drop-down list, as Qt's own description has them.
class TComboAccessible : public QAccessibleWidget {
public:
    explicit TComboAccessible(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) {
            return List().currentText();
        }
        if (kind == QAccessible::Name && List().accessibleName().isEmpty()) {
            return List().currentText();
        }
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override {
        QAccessible::State shown = QAccessibleWidget::state();
        shown.editable = List().isEditable();
        shown.expandable = true;
        shown.expanded = List().view()->isVisible();
        return shown;
    }
    int childCount() const override { return static_cast<int>(Children().size()); }
    QAccessibleInterface* child(int index) const override {
        const QList<QWidget*> children = Children();
        return index >= 0 && index < children.size()
                   ? QAccessible::queryAccessibleInterface(children[index])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr ? static_cast<int>(Children().indexOf(child->object())) : -1;
    }
    QStringList actionNames() const override {
        return {showMenuAction(), pressAction(), setFocusAction()};
    }
    void doAction(const QString& action) override {
        auto& list = const_cast<QComboBox&>(List());
        if (action == showMenuAction() || action == pressAction()) {
            if (list.view()->isVisible()) {
                list.hidePopup();
            } else {
                list.showPopup();
            }
        } else {
            QAccessibleWidget::doAction(action);
        }
    }

private:
    const QComboBox& List() const { return *static_cast<const QComboBox*>(object()); }
    QList<QWidget*> Children() const {
        QList<QWidget*> children;
        if (QLineEdit* edit = List().lineEdit()) {
            children.append(edit);
        }
        children.append(List().view());
        return children;
    }
};

QAccessibleInterface* WidgetAccessible(const QString& key, QObject* object) {
    if (auto* meter = qobject_cast<TSegmentMeter*>(object); meter && key == "TSegmentMeter") {
        return new TMeterAccessible(meter);
    }
    if (auto* display = qobject_cast<TLedDisplay*>(object); display && key == "TLedDisplay") {
        return new TLedAccessible(display);
    }
    if (auto* list = qobject_cast<QComboBox*>(object);
        list && (key == "QComboBox" || key == "TPortComboBox")) {
        return new TComboAccessible(list);
    }
    return nullptr;
}

} // namespace

void InstallAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&WidgetAccessible);
        return true;
    }();
    static_cast<void>(installed);
}
