// What assistive technology and the keyboard get from the window: names, values, tooltips,
// tab order, texts that fit.
#include "WindowTestSupport.h"
#include "uDebugMemo.h"
#include "uFitLabel.h"
#include "uFrmCustomCmd.h"
#include "uLedDisplay.h"
#include "uMapBridge.h"
#include "uSegmentMeter.h"
#include "uStatusLamp.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTreeView>

namespace {

QString AccessibleText(QWidget* widget, QAccessible::Text kind) {
    QAccessibleInterface* readable = QAccessible::queryAccessibleInterface(widget);
    return readable != nullptr ? readable->text(kind) : QString();
}

class AccessibilityTest : public WindowTest {
protected:
    AccessibilityTest() { Start(); }
};

TEST_F(AccessibilityTest, EveryFieldIsNamedByItsLabel) {
    const std::pair<const char*, const char*> fields[] = {
        {"cboCOMIndex", "COM Port"},
        {"txtBAUD", "Baud Rate"},
        {"txtCenterNumber", "SMS Primary number:"},
        {"txtAlias", "Another Name:"},
        {"cboBatteryAlert", "Low Battery:"},
        {"txtTimeDifferent", "Time difference:"},
        {"txtGSensorParam", "G-sensor parameter:"},
        {"CBox_Main_01", "Track by Calling:"},
        {"CBox_Main_03", "History data uploading automatical:"},
        {"txtIPAddress", "IP address:"},
        {"txtAPNPassword", "APN Pass:"},
        {"RzSpinEdit_KeepAlive", "Keep alive"},
        {"cbUpLoadMode", "Mode"},
        {"CBox_UploadingInterval", "Interval:"},
        {"Cbox_UploadingTimes", "Times:"},
        {"edtVIP_1", "Call 1"},
        {"edtVIP_5", "5:"},
        {"txtGeofenceName", "Geo-fence Name:"},
        {"txtGeofenceRBLatitude", "Right Bottom Latitude:"},
        {"ed_MapLat", "Latitude"},
        {"ed_MapZoom", "Zoom"},
        {"edt_Send", "ASCII Commands:"},
        {"cbLanguage", "Language:"},
        {"RzMeter_GSM", "GSM:"},
        {"RzMeter_Battery", "Battery:"},
        {"RzMeter_LED", "ID:"},
        {"lblAnotherName", "Another Name:"},
        {"lblVersion", "Version:"},
        {"sbT01", "Query status"},
        {"ComLed1", "Connection lamp"},
        {"ed_googleurl", "Tile host"},
    };
    for (const auto& [name, label] : fields) {
        EXPECT_EQ(AccessibleText(Find<QWidget>(name), QAccessible::Name), label) << name;
    }
    EXPECT_EQ(Find<QLabel>("lblSmsNo")->buddy(), Find<QWidget>("txtCenterNumber"));
    // An alarm box says whose alarm it is.
    EXPECT_EQ(AccessibleText(Find<QWidget>("cbVIP_23"), QAccessible::Name), "SOS Alarm");
    EXPECT_EQ(AccessibleText(Find<QWidget>("cbVIP_23"), QAccessible::Description), "Call 2");
}

TEST_F(AccessibilityTest, PaintedWidgetsGiveTheirValues) {
    auto* id = Find<TLedDisplay>("RzMeter_LED");
    id->SetText("0123456789");
    EXPECT_EQ(AccessibleText(id, QAccessible::Value), "0123456789");
    EXPECT_EQ(AccessibleText(id, QAccessible::Description), "0123456789");

    // The alias and the version read as the ID does: the value in the description.
    EXPECT_EQ(AccessibleText(Find<QLabel>("lblAnotherName"), QAccessible::Description), "");
    Window->Replies().HandleReply("(0123456789,T01,0,VANA,7,20,85)");
    Window->Replies().HandleReply("(0123456789,P01,V1.1.1)");
    EXPECT_EQ(AccessibleText(Find<QLabel>("lblAnotherName"), QAccessible::Description), "VANA");
    EXPECT_EQ(AccessibleText(Find<QLabel>("lblVersion"), QAccessible::Description), "V1.1.1");

    auto* gsm = Find<TSegmentMeter>("RzMeter_GSM");
    gsm->SetValue(3);
    QAccessibleInterface* meter = QAccessible::queryAccessibleInterface(gsm);
    ASSERT_NE(meter, nullptr);
    EXPECT_EQ(meter->role(), QAccessible::ProgressBar);
    ASSERT_NE(meter->valueInterface(), nullptr);
    EXPECT_EQ(meter->valueInterface()->currentValue().toInt(), 3);
    EXPECT_EQ(meter->valueInterface()->maximumValue().toInt(), 5);
    EXPECT_EQ(meter->text(QAccessible::Value), "3/5");
    EXPECT_EQ(meter->text(QAccessible::Description), "3/5");

    auto* lamp = Find<TStatusLamp>("ComLed1");
    EXPECT_EQ(AccessibleText(lamp, QAccessible::Description), "Port closed");
    Find<QPushButton>("btn_Switch")->click();
    EXPECT_EQ(AccessibleText(lamp, QAccessible::Description), "Port open");
}

QWidget* FindTopLevel(const QString& name) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == name) {
            return window;
        }
    }
    return nullptr;
}

// The buttons and fields of a window that have no tooltip, and how many were looked at.
std::pair<QStringList, int> ControlsWithoutToolTip(const QWidget& window) {
    QStringList missing;
    int checked = 0;
    for (QWidget* control : window.findChildren<QWidget*>()) {
        const bool field = qobject_cast<QAbstractButton*>(control) ||
                           qobject_cast<QComboBox*>(control) || qobject_cast<QSpinBox*>(control) ||
                           qobject_cast<QPlainTextEdit*>(control) ||
                           qobject_cast<QAbstractItemView*>(control) ||
                           (qobject_cast<QLineEdit*>(control) &&
                            !qobject_cast<QComboBox*>(control->parentWidget()) &&
                            !qobject_cast<QSpinBox*>(control->parentWidget()));
        // The tab bar's own scroll arrows are the toolkit's, and so are a list's inner parts.
        if (field && control->window() == &window &&
            !qobject_cast<QTabBar*>(control->parentWidget()) &&
            !qobject_cast<QAbstractItemView*>(control->parentWidget()) &&
            !qobject_cast<QComboBox*>(control->parentWidget())) {
            ++checked;
            if (control->toolTip().isEmpty()) {
                missing.append(control->objectName() + QLatin1Char('/') +
                               control->metaObject()->className());
            }
        }
    }
    return {missing, checked};
}

TEST_F(AccessibilityTest, EveryButtonAndFieldHasATooltip) {
    const auto [missing, checked] = ControlsWithoutToolTip(*Window);
    EXPECT_EQ(missing, QStringList());
    EXPECT_GT(checked, 80);
    // The tooltips are translated texts of their own, after the start-up ones.
    EXPECT_GT(SourceTextCount(), 150);

    // The debug log and the time-items dialog have theirs too.
    Find<QPushButton>("btnShowMsg")->click();
    const auto* memo = qobject_cast<TfrmDebugMemo*>(FindTopLevel("frmDebugMemo"));
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(ControlsWithoutToolTip(*memo), std::make_pair(QStringList(), 2));
    const TfrmCustomCMD times;
    EXPECT_EQ(ControlsWithoutToolTip(times), std::make_pair(QStringList(), 7));
}

// Row by row: each authorised number, then its four alarms; "Select All" after the last row.
TEST_F(AccessibilityTest, TabGoesThroughEachNumberAndThenItsAlarms) {
    QStringList order;
    QWidget* widget = Find<QWidget>("edtVIP_1");
    while (order.size() < 26) {
        if (widget->focusPolicy() & Qt::TabFocus) {
            order.append(widget->objectName());
        }
        widget = widget->nextInFocusChain();
    }
    QStringList expected;
    for (int row = 1; row <= 5; ++row) {
        expected.append(QStringLiteral("edtVIP_%1").arg(row));
        for (int alarm = 1; alarm <= 4; ++alarm) {
            expected.append(QStringLiteral("cbVIP_%1%2").arg(row).arg(alarm));
        }
    }
    expected.append("CBox_CheckAll");
    EXPECT_EQ(order, expected);
}

// Every caption fits its control; the version the simulated device reports too.
TEST_F(AccessibilityTest, EveryTextFits) {
    auto* version = Find<TFitLabel>("lblVersion");
    version->setText("TERVO_SIM_V1.0");
    EXPECT_EQ(version->ShownText(), version->text());
    EXPECT_LE(QFontMetrics(version->ShownFont()).horizontalAdvance(version->text()),
              version->contentsRect().width());
    version->setText("TERVO_SIM_V1.0 BUILD 2026-12-08 RELEASE CANDIDATE");
    EXPECT_TRUE(version->ShownText().endsWith(QChar(0x2026)));
    Window->MapBridge().MapPointClicked(-179.123456, -33.123456);
    auto* point = Find<QLineEdit>("txtLatLng");
    EXPECT_LE(point->fontMetrics().horizontalAdvance(point->text()) + 8,
              point->contentsRect().width());

    for (QWidget* control : Window->findChildren<QWidget*>()) {
        QString text;
        int room = control->contentsRect().width();
        if (qobject_cast<TFitLabel*>(control)) {
            continue; // fits by shrinking, as seen above
        }
        if (auto* label = qobject_cast<QLabel*>(control)) {
            text = label->text();
            room -= 2 * label->margin();
        } else if (auto* button = qobject_cast<QPushButton*>(control)) {
            text = button->text().remove('&');
            room -= 12; // the button's frame and padding
        } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
            text = box->text().remove('&');
            room -= 20; // the box itself
        }
        if (text.isEmpty() || control->isHidden()) {
            continue;
        }
        EXPECT_LE(control->fontMetrics().horizontalAdvance(text), room)
            << control->objectName().toStdString() << ": " << text.toStdString();
    }
}

} // namespace
