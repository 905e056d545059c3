// The main window after start-up: files, captions, languages, key filters and the gesture
// on "ID:".
#include "StartupTexts.h"
#include "WindowTestSupport.h"
#include "uSegmentMeter.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <functional>
#include <initializer_list>
#include <tuple>

namespace {

TEST_F(WindowTest, FirstStartInAnEmptyFolderWritesSettingsAndTheMasterFile) {
    Start();

    EXPECT_EQ(ReadAll(SettingsFilePath()), QByteArray("[config]\r\nlanguage=english\r\n\r\n"));
    QByteArray master = "[language]\r\n";
    for (int id = 0; id < 100; ++id) {
        master += QString::asprintf("%.3d=%s\r\n", id, kStartupTexts[id]).toUtf8();
    }
    // The window's later texts follow, so they can be translated too.
    int id = 100;
    for (const QString& text : TFrmMain::AddedTexts()) {
        master += QStringLiteral("%1=%2\r\n").arg(id++, 3, 10, QLatin1Char('0')).arg(text).toUtf8();
    }
    master += "\r\n";
    EXPECT_EQ(ReadAll(Path("locale/english.lng")), master);

    auto* languages = Find<QComboBox>("cbLanguage");
    ASSERT_EQ(languages->count(), 1);
    EXPECT_EQ(languages->currentText(), "english");
    EXPECT_EQ(Window->windowTitle(), "Tervo Assistant Ver 4.4");
    EXPECT_TRUE(Messages.Messages.isEmpty());

    for (const char* name : kDeviceButtons) {
        EXPECT_FALSE(Find<QWidget>(name)->isEnabled()) << name;
    }
    for (const char* name : {"btn_Switch", "btnShowMsg", "btnSave", "btnLoad", "btnLoadMap",
                             "btn_GeoShowAllFence", "btn_GeoClearAll", "btn_AdvOper_Send",
                             "btn_AdvOper_Clear", "btn_AdvOper_CmdSave", "cbLanguage"}) {
        EXPECT_TRUE(Find<QWidget>(name)->isEnabled()) << name;
    }

    auto* pages = Find<QTabWidget>("pgCtrl");
    EXPECT_EQ(pages->currentWidget()->objectName(), "tsMain");
    QStringList tabs;
    for (int i = 0; i < pages->count(); ++i) {
        tabs.append(pages->widget(i)->objectName() + (pages->isTabVisible(i) ? "" : " hidden"));
    }
    EXPECT_EQ(tabs, QStringList({"tsMain", "tsAuthorization", "tsGeo", "tsAdvOperation",
                                 "tsOther hidden", "tsSnapshot"}));
    EXPECT_EQ(Window->minimumSize(), QSize(992, 596));
    EXPECT_EQ(Window->maximumSize(), QSize(992, 596));
    // The task bar's icon: the icon theme's, or the program's own where the theme has none.
    EXPECT_FALSE(Window->windowIcon().pixmap(32).isNull());
}

TEST_F(WindowTest, StartsWithTheLayoutTextsAndChoices) {
    Start();
    const std::pair<const char*, const char*> texts[] = {
        {"lblSmsNo", "SMS Primary number:"},
        {"lblVIP_1", "Call 1"},
        {"lblVIP_3", "3:"},
        {"btn_Switch", "Open[&O]"},
        {"rgbCom", "COM Setting"},
        {"txtBAUD", "9600"},
        {"txtTimeDifferent", "-60"},
        {"txtGSensorParam", "630"},
        {"txtIPAddress", "123.123.123.123"},
        {"txtPort", "8888"},
        {"txtAPN", "CMNET"},
        {"ed_MapLat", "22.917922"},
        {"ed_MapLng", "125.156251"},
        {"ed_MapZoom", "2"},
        {"txtRadius", "300"},
        {"lblVersion", "xxxxxxxx"},
        {"cbVIP_23", "SOS Alarm"},
        {"lbl_Main_000", "00:01"},
        {"lbl_Main_005", "00:30"},
        {"lbl_Main_125", "12:30"},
        {"lbl_Main_235", "23:30"},
        {"lblHistoryUploadAuto", "History data uploading automatical:"}};
    for (const auto& [name, text] : texts) {
        QWidget* control = Find<QWidget>(name);
        QString shown;
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            shown = edit->text();
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            shown = label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            shown = button->text();
        } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
            shown = group->title();
        }
        EXPECT_EQ(shown, text) << name;
    }

    auto* times = Find<QComboBox>("Cbox_UploadingTimes");
    QStringList choices;
    for (int i = 0; i < times->count(); ++i) {
        choices.append(times->itemText(i));
    }
    EXPECT_EQ(choices, QStringList({"Uploading all the time", "5", "10", "15", "20"}));
    EXPECT_EQ(times->currentIndex(), 0);
    EXPECT_EQ(Find<QComboBox>("cboBatteryAlert")->currentText(), "20");
    EXPECT_EQ(Find<QComboBox>("cbUpLoadMode")->currentText(), "SMS");
    auto* keepAlive = Find<QSpinBox>("RzSpinEdit_KeepAlive");
    EXPECT_EQ(keepAlive->value(), 300);
    EXPECT_EQ(keepAlive->minimum(), 30);
    EXPECT_EQ(keepAlive->maximum(), 7200);
    EXPECT_EQ(Find<QLineEdit>("txtGeofenceName")->maxLength(), 20);

    EXPECT_EQ(Window->findChildren<QLabel*>(QRegularExpression("^lbl_Main_\\d{3}$")).size(), 48);
    for (QLabel* label : Window->findChildren<QLabel*>(QRegularExpression("^lbl_Main_"))) {
        EXPECT_FALSE(label->isEnabled()) << label->objectName().toStdString();
    }
    const auto alarms = Window->findChildren<QCheckBox*>(QRegularExpression("^cbVIP_[1-5][1-4]$"));
    EXPECT_EQ(alarms.size(), 20);
    for (QCheckBox* alarm : alarms) {
        EXPECT_TRUE(alarm->isChecked()) << alarm->objectName().toStdString();
    }
    EXPECT_TRUE(Find<QWidget>("pnlGeoEdit")->isHidden());
    EXPECT_TRUE(Find<QWidget>("gbVol")->isHidden());
    EXPECT_TRUE(Find<QWidget>("gbFenceCircle")->isHidden());
    EXPECT_EQ(Find<TSegmentMeter>("RzMeter_Battery")->Maximum(), 100);
    EXPECT_EQ(Find<TSegmentMeter>("RzMeter_Volume")->Maximum(), 6);
}

TEST_F(WindowTest, AnEmptyLanguageSettingIsRewrittenKeepingTheRestOfTheFile) {
    WriteAll(SettingsFilePath(), "[config]\r\nlanguage=\r\n\r\n[window]\r\nleft=10\r\n\r\n");
    Start();
    EXPECT_EQ(ReadAll(SettingsFilePath()),
              QByteArray("[config]\r\nlanguage=english\r\n\r\n[window]\r\nleft=10\r\n\r\n"));
}

TEST_F(WindowTest, ASecondLanguageTranslatesCaptionsAndAChangeOnlyLaterTexts) {
    // "Close[&O]" is first looked up when the port opens, after every text of the start-up.
    const int closeId = 100 + int(TFrmMain::AddedTexts().size());
    WriteAll(
        Path("locale/suomi.lng"),
        QStringLiteral("[language]\r\n010=Vianetsinta\r\n092=Tervo Avustaja\r\n%1=Sulje[&O]\r\n")
            .arg(closeId)
            .toUtf8());
    WriteAll(Path("locale/english.lng"), "[language]\r\n");
    // The configured name finds its file whatever the letter case.
    WriteAll(SettingsFilePath(), "[config]\r\nlanguage=SUOMI\r\n");
    Start();

    auto* languages = Find<QComboBox>("cbLanguage");
    QStringList names;
    for (int i = 0; i < languages->count(); ++i) {
        names.append(languages->itemText(i));
    }
    names.sort();
    EXPECT_EQ(names, QStringList({"english", "suomi"}));
    EXPECT_EQ(languages->currentText(), "suomi");
    EXPECT_EQ(Find<QPushButton>("btnShowMsg")->text(), "Vianetsinta");
    EXPECT_EQ(Window->windowTitle(), "Tervo Avustaja 4.4");

    // A text first looked up now takes the language loaded at this moment.
    auto* portSwitch = Find<QPushButton>("btn_Switch");
    portSwitch->click();
    EXPECT_EQ(portSwitch->text(), "Sulje[&O]");
    portSwitch->click();

    languages->setCurrentIndex(languages->findText("english"));
    Q_EMIT languages->activated(languages->currentIndex());
    EXPECT_TRUE(ReadAll(SettingsFilePath()).contains("language=english\r\n"));
    EXPECT_EQ(Find<QPushButton>("btnShowMsg")->text(), "Vianetsinta");
    portSwitch->click();
    EXPECT_EQ(portSwitch->text(), "Close[&O]");
}

TEST_F(WindowTest, KeyFiltersLetThroughOnlyTheirCharacters) {
    Start();
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"cboBatteryAlert", "a.-+12", "12"},
        {"ed_MapLat", "-33.9a", "-33.9"},
        {"ed_MapLng", "+151.2e", "+151.2"},
        {"txtGSensorParam", "6x3.0", "630"},
        {"ed_MapZoom", "1x2", "12"},
        {"txtCenterNumber", "+86a-13", "+8613"},
        {"edtVIP_3", "+1 x", "+1"},
        {"txtPort", "-8+a0", "80"}, // a port is never negative
        {"txtTimeDifferent", "-60.5", "-605"},
        {"txtRadius", "3-0", "30"},
        {"txtGeofenceLTLatitude", "+-.1a,", "+-.1"},
        {"txtGeofenceName", "Ab 1-_!.", "Ab 1-_"},
        {"txtAlias", "Car_7 #", "Car_7 "},
    };
    // Typed where the user types: an editable list takes the keys itself.
    for (const auto& [name, typed, kept] : cases) {
        QWidget* control = Find<QWidget>(name);
        auto* edit = qobject_cast<QLineEdit*>(control);
        if (auto* combo = qobject_cast<QComboBox*>(control)) {
            edit = combo->lineEdit();
        }
        ASSERT_NE(edit, nullptr) << name;
        edit->clear();
        QTest::keyClicks(control, typed);
        EXPECT_EQ(edit->text(), kept) << name;
        QTest::keyClick(control, Qt::Key_Backspace);
        EXPECT_EQ(edit->text(), QString(kept).chopped(1)) << name << " backspace";
    }
}

// The port is closed, so Resume, Write All, Read All and Factory Default are disabled: their
// access keys do nothing, and Alt Gr still types.
TEST_F(WindowTest, AnAccessKeyNeverTypesItsLetter) {
    Start();
    auto* alias = Find<QLineEdit>("txtAlias");
    alias->setText("ABC");
    for (const Qt::Key key : {Qt::Key_R, Qt::Key_W, Qt::Key_A, Qt::Key_D}) {
        QTest::keyClick(alias, key, Qt::AltModifier);
    }
    EXPECT_EQ(alias->text(), "ABC");
    QTest::keyClick(alias, Qt::Key_E, Qt::GroupSwitchModifier);
    EXPECT_EQ(alias->text(), "ABCe");
}

// Pasted text passes no key filter, but the field's rule.
TEST_F(WindowTest, PastedTextIsCheckedByTheFieldsRule) {
    Start();
    auto* port = Find<QLineEdit>("txtPort");
    port->clear();
    QApplication::clipboard()->setText("80a");
    QTest::keyClick(port, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(port->text(), "");
    auto* alias = Find<QLineEdit>("txtAlias");
    QApplication::clipboard()->setText("Van.42");
    QTest::keyClick(alias, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(alias->text(), "Van.42");
}

TEST_F(WindowTest, TheIdGestureShowsAndHidesTheTechnicianControls) {
    Start();
    auto* id = Find<QLabel>("lblID");
    auto* pages = Find<QTabWidget>("pgCtrl");
    const auto shown = [&] {
        const bool button = !Find<QWidget>("btnShowMsg")->isHidden();
        const bool gprs = !Find<QWidget>("gbGPRS")->isHidden();
        const bool tab = pages->isTabVisible(pages->indexOf(Find<QWidget>("tsAdvOperation")));
        EXPECT_EQ(button, gprs);
        EXPECT_EQ(button, tab);
        return button && gprs && tab;
    };
    EXPECT_TRUE(shown());

    // QTest sends a double-click without its release; the release keeps the button state true.
    const auto doubleClick = [&](Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
        QTest::mouseDClick(id, button, modifiers);
        QTest::mouseRelease(id, button, modifiers);
    };
    const std::function<void()> hiding[] = {
        [&] { QTest::mouseClick(id, Qt::LeftButton); },
        [&] { QTest::mouseClick(id, Qt::RightButton); },
        [&] { doubleClick(Qt::LeftButton, Qt::NoModifier); },
        [&] { doubleClick(Qt::RightButton, Qt::ShiftModifier); },
        [&] { doubleClick(Qt::RightButton, Qt::ControlModifier); },
    };
    for (const auto& press : hiding) {
        doubleClick(Qt::RightButton, Qt::NoModifier);
        EXPECT_TRUE(shown());
        press();
        EXPECT_FALSE(shown());
    }
}

TEST_F(WindowTest, LogLinesReachBothTranscriptsAndTheLogWindowClosesWithTheWindow) {
    Start();
    Window->AddLog("one line");
    EXPECT_EQ(Find<QPlainTextEdit>("mm_Recv")->toPlainText(), "one line");
    QWidget* memo = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == "frmDebugMemo") {
            memo = top;
        }
    }
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->windowTitle(), "Debug Memo");
    EXPECT_TRUE(memo->isHidden());
    EXPECT_EQ(memo->findChild<QPlainTextEdit*>("mmDebug")->toPlainText(), "one line");
    Find<QPushButton>("btnShowMsg")->click();
    EXPECT_TRUE(memo->isVisible());

    // Closing the main window ends the program, so the log window goes with it.
    QCloseEvent close;
    QApplication::sendEvent(Window.get(), &close);
    EXPECT_FALSE(memo->isVisible());
}

} // namespace

namespace {

QWidget* DebugMemo() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == "frmDebugMemo") {
            return top;
        }
    }
    return nullptr;
}

TEST_F(WindowTest, EmptyLinesOpeningATranscriptAreKept) {
    Start();
    for (const char* line : {"", "", "(T01,0)", ""}) {
        Window->AddLog(line);
    }
    EXPECT_EQ(Find<QPlainTextEdit>("mm_Recv")->toPlainText(), "\n\n(T01,0)\n");
    ASSERT_NE(DebugMemo(), nullptr);
    EXPECT_EQ(DebugMemo()->findChild<QPlainTextEdit*>("mmDebug")->toPlainText(), "\n\n(T01,0)\n");

    Find<QPushButton>("btn_AdvOper_Clear")->click();
    Window->AddLog("");
    Window->AddLog("x");
    EXPECT_EQ(Find<QPlainTextEdit>("mm_Recv")->toPlainText(), "\nx");
}

TEST_F(WindowTest, EnterInTheConsoleFieldSends) {
    Start();
    Find<QPushButton>("btn_Switch")->click();
    ASSERT_TRUE(Port->IsOpen());
    auto* command = Find<QLineEdit>("edt_Send");
    QTest::keyClicks(command, "(P01,0)");
    QTest::keyClick(command, Qt::Key_Return);
    ASSERT_EQ(Port->Written.size(), 1);
    EXPECT_TRUE(Port->Written[0].contains("(P01,0)"));
}

TEST_F(WindowTest, EditableListsTakeTheTypedTextWithoutGrowing) {
    Start();
    for (const char* name :
         {"cboCOMIndex", "cboBatteryAlert", "CBox_UploadingInterval", "Cbox_UploadingTimes"}) {
        auto* list = Find<QComboBox>(name);
        const int items = list->count();
        list->lineEdit()->clear();
        QTest::keyClicks(list, "45");
        QTest::keyClick(list, Qt::Key_Return);
        EXPECT_EQ(list->count(), items) << name;
        EXPECT_EQ(list->currentText(), "45") << name;
    }
}

TEST_F(WindowTest, ALanguageFileWithAnUpperCaseExtensionLoads) {
    WriteAll(Path("locale/FRENCH.LNG"), "[language]\r\n010=Journal\r\n");
    WriteAll(SettingsFilePath(), "[config]\r\nlanguage=FRENCH\r\n");
    Start();
    EXPECT_EQ(Find<QComboBox>("cbLanguage")->currentText(), "FRENCH");
    EXPECT_EQ(Find<QPushButton>("btnShowMsg")->text(), "Journal");
}

TEST_F(WindowTest, DisabledFactoryDefaultIsGreyLikeTheOtherButtons) {
    Start();
    auto* factory = Find<QPushButton>("btnDefault");
    auto* readAll = Find<QPushButton>("btnReadAll");
    ASSERT_FALSE(factory->isEnabled());
    EXPECT_EQ(factory->palette().color(QPalette::Disabled, QPalette::ButtonText),
              readAll->palette().color(QPalette::Disabled, QPalette::ButtonText));
    EXPECT_EQ(factory->palette().color(QPalette::Active, QPalette::ButtonText), QColor(Qt::red));
}

// The gesture on "Latitude" shows the tile host field where it covers nothing.
TEST_F(WindowTest, TheRevealedTileHostFieldHidesNothing) {
    Start();
    auto* host = Find<QWidget>("ed_googleurl");
    QTest::mouseDClick(Find<QWidget>("lblMapLat"), Qt::RightButton);
    QTest::mouseRelease(Find<QWidget>("lblMapLat"), Qt::RightButton);
    ASSERT_FALSE(host->isHidden());
    const QRect field(host->mapTo(Window.get(), QPoint()), host->size());
    for (QWidget* other : Find<QWidget>("tsGeo")->findChildren<QWidget*>()) {
        if (other == host || other->isHidden() || other->isAncestorOf(host) ||
            other->parentWidget() == nullptr || !other->isVisibleTo(Window.get())) {
            continue;
        }
        const QRect area(other->mapTo(Window.get(), QPoint()), other->size());
        EXPECT_FALSE(field.intersects(area)) << other->objectName().toStdString();
    }
    QTest::mouseClick(Find<QWidget>("lblMapLat"), Qt::LeftButton);
    EXPECT_TRUE(host->isHidden());
    EXPECT_EQ(Find<QWidget>("pnlMapBody")->height(), 300);
}

} // namespace
