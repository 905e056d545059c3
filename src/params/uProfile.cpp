#include "uProfile.h"

#include "uAppPaths.h"
#include "uIniDocument.h"
#include "uLanguage.h"
#include "uMessageService.h"
#include "uNumbers.h"
#include "uParamCatalogue.h"
#include "uPrivateProfile.h"
#include "uReplyHandler.h"
#include "ui_uFrmMain.h"

#include <QDir>
#include <limits>

namespace {

const QString kSection = QStringLiteral("Para");
const QString kComKey = QStringLiteral("COM");

using TEditMember = QLineEdit* Ui::TFrmMain::*;
using TTakeNumber = QString (*)(Ui::TFrmMain&, const TReplyHandler&);
using TShowNumber = void (*)(Ui::TFrmMain&, TReplyHandler&, std::int32_t);

// One key of the profile: a text kept in a line edit, or an integer with its own way in and
// out of the controls.
struct TKey {
    const char* Name;
    TEditMember Edit; // text keys
    TTakeNumber Take; // integer keys: the control's text, or its number as text
    TShowNumber Show; // integer keys
    const char* DefaultText;
    std::int32_t DefaultNumber;
    bool DefaultIsLastValue = false; // a missing key keeps the record's current value
};

void SelectIndex(QComboBox& box, int index) {
    box.setCurrentIndex(index >= 0 && index < box.count() ? index : -1);
}

const TKey kKeys[TProfile::kRecordKeys] = {
    {"CenterNumber", &Ui::TFrmMain::txtCenterNumber, nullptr, nullptr, "0", 0},
    {"VIPNumber1", &Ui::TFrmMain::edtVIP_1, nullptr, nullptr, "0", 0},
    {"VIPNumber2", &Ui::TFrmMain::edtVIP_2, nullptr, nullptr, "0", 0},
    {"VIPNumber3", &Ui::TFrmMain::edtVIP_3, nullptr, nullptr, "0", 0},
    {"VIPNumber4", &Ui::TFrmMain::edtVIP_4, nullptr, nullptr, "0", 0},
    {"VIPNumber5", &Ui::TFrmMain::edtVIP_5, nullptr, nullptr, "0", 0},
    {"IPAddress", &Ui::TFrmMain::txtIPAddress, nullptr, nullptr, "0", 0},
    {"Port", nullptr, [](Ui::TFrmMain& ui, const TReplyHandler&) { return ui.txtPort->text(); },
     [](Ui::TFrmMain& ui, TReplyHandler&, std::int32_t v) {
         ui.txtPort->setText(QString::number(v));
     },
     "", 0},
    {"APN", &Ui::TFrmMain::txtAPN, nullptr, nullptr, "", 0},
    {"APNUserName", &Ui::TFrmMain::txtAPNUsername, nullptr, nullptr, "", 0},
    {"APNPassword", &Ui::TFrmMain::txtAPNPassword, nullptr, nullptr, "", 0},
    {"Battery", nullptr,
     [](Ui::TFrmMain& ui, const TReplyHandler&) { return ui.cboBatteryAlert->currentText(); },
     [](Ui::TFrmMain& ui, TReplyHandler&, std::int32_t v) {
         ui.cboBatteryAlert->setEditText(QString::number(v));
     },
     "", 20},
    {"Volume", nullptr,
     [](Ui::TFrmMain&, const TReplyHandler& r) { return QString::number(r.VolumeLevel()); },
     [](Ui::TFrmMain&, TReplyHandler& r, std::int32_t v) { r.SetVolumeLevel(v); }, "", 5},
    {"AnotherName", &Ui::TFrmMain::txtAlias, nullptr, nullptr, "", 0},
    {"TimeDifferent", nullptr,
     [](Ui::TFrmMain& ui, const TReplyHandler&) { return ui.txtTimeDifferent->text(); },
     [](Ui::TFrmMain& ui, TReplyHandler&, std::int32_t v) {
         ui.txtTimeDifferent->setText(QString::number(v));
     },
     "", 0, true},
    // 1 "SMS", 2 "TCP", 0 none; shown without the channel's change handling.
    {"WorkMode", nullptr,
     [](Ui::TFrmMain& ui, const TReplyHandler&) {
         return QString::number(ui.cbUpLoadMode->currentIndex() + 1);
     },
     [](Ui::TFrmMain& ui, TReplyHandler&, std::int32_t v) { SelectIndex(*ui.cbUpLoadMode, v - 1); },
     "", 2},
    {"UpInterval", nullptr,
     [](Ui::TFrmMain& ui, const TReplyHandler&) {
         return ui.CBox_UploadingInterval->currentText();
     },
     [](Ui::TFrmMain& ui, TReplyHandler&, std::int32_t v) {
         ui.CBox_UploadingInterval->setEditText(QString::number(v));
     },
     "", 120},
    {"UpTimes", nullptr,
     [](Ui::TFrmMain& ui, const TReplyHandler&) { return ui.Cbox_UploadingTimes->currentText(); },
     [](Ui::TFrmMain& ui, TReplyHandler&, std::int32_t v) {
         ui.Cbox_UploadingTimes->setEditText(QString::number(v));
     },
     "", 0},
    {"Radius", nullptr, [](Ui::TFrmMain& ui, const TReplyHandler&) { return ui.txtRadius->text(); },
     [](Ui::TFrmMain& ui, TReplyHandler&, std::int32_t v) {
         ui.txtRadius->setText(QString::number(v));
     },
     "", 300},
    {"MapLat", &Ui::TFrmMain::ed_MapLat, nullptr, nullptr, "22.917922", 0},
    {"MapLng", &Ui::TFrmMain::ed_MapLng, nullptr, nullptr, "125.156251", 0},
    {"MapZoom", &Ui::TFrmMain::ed_MapZoom, nullptr, nullptr, "2", 0},
};

// The parameter field a key holds, and so the rule its value must pass to be loaded.
struct TKeyRule {
    const char* Name;
    const char* Param;
    int Field;
};
const TKeyRule kKeyRules[] = {
    {"CenterNumber", "P03", 0}, {"VIPNumber1", "P11.1", 1}, {"VIPNumber2", "P11.2", 1},
    {"VIPNumber3", "P11.3", 1}, {"VIPNumber4", "P11.4", 1}, {"VIPNumber5", "P11.5", 1},
    {"IPAddress", "P05", 0},    {"Port", "P05", 1},         {"APN", "P05", 2},
    {"APNUserName", "P05", 3},  {"APNPassword", "P05", 4},  {"Battery", "P10", 0},
    {"Volume", "P14", 0},       {"AnotherName", "P17", 0},  {"TimeDifferent", "P12", 0},
    {"UpInterval", "P04", 0},   {"UpTimes", "P04", 1},      {"Radius", "P09", 0},
};

const char* const kNotLoadedText =
    "These values of %1 were not loaded; their fields keep what they showed:";

// Why a key's value cannot be shown in its field; nullopt for keys no parameter holds.
std::optional<QString> KeyFault(const char* name, const QString& value) {
    for (const TKeyRule& rule : kKeyRules) {
        if (qstrcmp(rule.Name, name) != 0) {
            continue;
        }
        const TParamEntry* entry = TParamCatalogue::Find(QString::fromLatin1(rule.Param));
        if (const auto fault = entry->Rule(rule.Field)->Check(value, entry->Index)) {
            return QStringLiteral("%1: %2").arg(QString::fromLatin1(name),
                                                fault->Reason(::TranslateText));
        }
    }
    return std::nullopt;
}

int HexDigit(QChar c) {
    const char ch = c.toLatin1();
    if (ch >= '0' && ch <= '9') {
        return ch - '0';
    }
    if (ch >= 'a' && ch <= 'f') {
        return ch - 'a' + 10;
    }
    if (ch >= 'A' && ch <= 'F') {
        return ch - 'A' + 10;
    }
    return -1;
}

} // namespace

TProfile::TProfile(Ui::TFrmMain& ui, IMessageService& messages, TReplyHandler& replies)
    : FUi(ui), FMessages(messages), FReplies(replies) {}

std::int32_t TProfile::LeadingInteger(const QString& text) {
    if (const auto whole = TextToInt(text)) {
        return *whole;
    }
    QStringView rest(text);
    const bool negative = rest.startsWith(QLatin1Char('-'));
    if (negative || rest.startsWith(QLatin1Char('+'))) {
        rest = rest.mid(1);
    }
    int base = 10;
    for (const char* prefix : {"$", "0x", "0X", "x", "X"}) {
        if (rest.startsWith(QLatin1String(prefix))) {
            rest = rest.mid(qstrlen(prefix));
            base = 16;
            break;
        }
    }
    // Digits up to the first one that does not fit, or that would leave 32 bits.
    std::int64_t value = 0;
    for (const QChar c : rest) {
        const int digit = HexDigit(c);
        if (digit < 0 || digit >= base) {
            break;
        }
        const std::int64_t next = value * base + digit;
        if (next > std::numeric_limits<std::int32_t>::max()) {
            break;
        }
        value = next;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

void TProfile::btnSaveClick() {
    const QString id = FUi.RzMeter_LED->Text();
    if (id.isEmpty()) {
        return;
    }
    const QString folder = UserFolder(QStringLiteral("param"));
    QDir().mkpath(folder);
    SaveProfile(folder + QLatin1Char('/') + id + QStringLiteral(".cfg"));
}

void TProfile::btnLoadClick() {
    if (const auto file = FMessages.GetOpenFileName(UserFolder(QStringLiteral("config")),
                                                    QStringLiteral("config file (*.cfg)"))) {
        LoadProfile(*file);
    }
}

void TProfile::TakeFromControls() {
    for (int i = 0; i < kRecordKeys; ++i) {
        const TKey& key = kKeys[i];
        if (key.Edit != nullptr) {
            FRecord[i].Text = (FUi.*key.Edit)->text().trimmed();
        } else {
            FRecord[i].Number = LeadingInteger(key.Take(FUi, FReplies).trimmed());
        }
    }
}

QStringList TProfile::Texts() {
    return {QString::fromLatin1(kNotLoadedText)};
}

void TProfile::ShowInControls(const std::array<bool, kRecordKeys>& skip) {
    for (int i = 0; i < kRecordKeys; ++i) {
        const TKey& key = kKeys[i];
        if (skip[i]) {
            continue;
        }
        if (key.Edit != nullptr) {
            (FUi.*key.Edit)->setText(FRecord[i].Text);
        } else {
            key.Show(FUi, FReplies, FRecord[i].Number);
        }
    }
}

// Keys and sections another program wrote stay; known keys are replaced where they stand.
void TProfile::SaveProfile(const QString& fileName) {
    TakeFromControls();
    TIniDocument document;
    auto error = document.LoadFromFile(fileName);
    if (!error) {
        document.WriteString(kSection, kComKey, QString::number(FUi.cboCOMIndex->currentIndex()));
        for (int i = 0; i < kRecordKeys; ++i) {
            document.WriteString(kSection, QString::fromLatin1(kKeys[i].Name),
                                 kKeys[i].Edit != nullptr ? FRecord[i].Text
                                                          : QString::number(FRecord[i].Number));
        }
        error = document.SaveToFile(fileName);
    }
    if (error) {
        FMessages.ShowMessage(*error, TranslateText(QStringLiteral("Error")), TMessageIcon::Error);
    }
}

// A value its field's rule refuses is not loaded: the field keeps what it showed, and the user
// learns which keys those were. The port in use stays: the profile's is taken only while no
// port is open (the port field is disabled then).
void TProfile::LoadProfile(const QString& fileName) {
    const TPrivateProfile profile(fileName);
    if (FUi.cboCOMIndex->isEnabled()) {
        SelectIndex(*FUi.cboCOMIndex, profile.ReadInteger(kSection, kComKey, 0));
    }
    std::array<bool, kRecordKeys> refused{};
    QStringList faults;
    for (int i = 0; i < kRecordKeys; ++i) {
        const TKey& key = kKeys[i];
        const QString name = QString::fromLatin1(key.Name);
        TValue value = FRecord[i];
        if (key.Edit != nullptr) {
            value.Text = profile.ReadString(kSection, name, QString::fromLatin1(key.DefaultText));
        } else {
            value.Number = profile.ReadInteger(
                kSection, name, key.DefaultIsLastValue ? FRecord[i].Number : key.DefaultNumber);
        }
        const auto fault =
            KeyFault(key.Name, key.Edit != nullptr ? value.Text : QString::number(value.Number));
        if (fault) {
            refused[i] = true;
            faults.append(*fault);
        } else {
            FRecord[i] = value;
        }
    }
    ShowInControls(refused);
    if (!faults.isEmpty()) {
        faults.prepend(TranslateText(QString::fromLatin1(kNotLoadedText))
                           .arg(QDir::toNativeSeparators(fileName)));
        FMessages.ShowMessage(faults.join(QLatin1Char('\n')),
                              TranslateText(QStringLiteral("Error")), TMessageIcon::Warning);
    }
}
