#include "uRecordsHistoryDialog.h"

#include "uLanguage.h"
#include "uParamCatalogue.h"
#include "uReadOnlyCell.h"
#include "uUtils.h"
#include "uWindowRecords.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

namespace {

const char* const kTitle = "History";
const char* const kIdLabel = "Device &ID:";
const char* const kIdTip = "The device whose records are listed: the connected one, or type "
                           "another ID and press Enter";
const char* const kShowText = "&Show";
const char* const kShowTip = "Lists the records of the device whose ID is typed in";
const char* const kJobsLabel = "&Jobs, newest first:";
const char* const kJobsTip = "Every job done on the device; select one to see its settings";
const char* const kStatesLabel = "S&ettings of the selected job:";
const char* const kStatesTip = "What the selected job found or left in each setting";
const char* const kNone = "No records of device %1.";
const char* const kNoId = "Type a device ID.";
const char* const kCannotRead = "The records cannot be read: %1";
const char* const kWho = "Station %1, user %2, %3 %4.";
const char* const kDevice = "Firmware %1, alias %2.";
const char* const kTemplate = "Template %1 (SHA-256 %2).";
const char* const kValues = "Values: %1.";
const char* const kNotKnown = "not known";
constexpr std::array<const char*, 9> kJobHeaders = {"Time (UTC)", "Operation", "Result",
                                                    "Port",       "Station",   "User",
                                                    "Template",   "Duration",  "Detail"};
constexpr std::array<const char*, 4> kStateHeaders = {"Setting", "State", "Written", "Device"};
const char* const kCloseText = "Close";
const char* const kDetailTip = "Who did the selected job, where, on which device, with which "
                               "template and values, and how it ended";
const char* const kCloseTip = "Closes the history";

QString Tr(const char* text) {
    return TranslateText(QString::fromLatin1(text));
}

QTableWidget* Table(const char* const* headers, int count, const QString& name, QWidget* parent) {
    auto* table = new QTableWidget(0, count, parent);
    table->setObjectName(name);
    QStringList captions;
    for (int i = 0; i < count; ++i) {
        captions.append(Tr(headers[i]));
    }
    table->setHorizontalHeaderLabels(captions);
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setTabKeyNavigation(false); // Tab leaves the table, arrows move in it
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

// A caption with its label: the label names the control for assistive technology, and its
// access key moves the focus there.
QLabel* Labelled(const char* caption, QWidget* control, const char* tip, QWidget* parent) {
    auto* label = new QLabel(Tr(caption), parent);
    label->setBuddy(control);
    control->setAccessibleName(label->text().remove(QLatin1Char('&')));
    control->setToolTip(Tr(tip));
    control->setAccessibleDescription(control->toolTip()); // a table does not tell its tooltip
    return label;
}

QString Or(const QString& text, const QString& otherwise) {
    return text.isEmpty() ? otherwise : text;
}

} // namespace

TRecordsHistoryDialog::TRecordsHistoryDialog(TWindowRecords& records, const QString& deviceId,
                                             QWidget* parent)
    : QDialog(parent), FRecords(records) {
    setObjectName(QStringLiteral("dlgRecordsHistory"));
    setWindowTitle(Tr(kTitle));
    auto* layout = new QVBoxLayout(this);

    auto* idRow = new QHBoxLayout;
    FId = new QLineEdit(deviceId, this);
    FId->setObjectName(QStringLiteral("edtHistoryId"));
    idRow->addWidget(Labelled(kIdLabel, FId, kIdTip, this));
    idRow->addWidget(FId);
    auto* show = new QPushButton(Tr(kShowText), this);
    show->setObjectName(QStringLiteral("btnHistoryShow"));
    show->setToolTip(Tr(kShowTip));
    show->setAutoDefault(false);
    idRow->addWidget(show);
    idRow->addStretch();
    layout->addLayout(idRow);
    connect(show, &QPushButton::clicked, this, &TRecordsHistoryDialog::btnHistoryShowClick);
    connect(FId, &QLineEdit::returnPressed, this, &TRecordsHistoryDialog::btnHistoryShowClick);

    FNotice = new QLabel(this);
    FNotice->setObjectName(QStringLiteral("lblHistoryNotice"));
    FNotice->setWordWrap(true);
    layout->addWidget(FNotice);

    FJobs = Table(kJobHeaders.data(), int(kJobHeaders.size()), QStringLiteral("tblHistory"), this);
    layout->addWidget(Labelled(kJobsLabel, FJobs, kJobsTip, this));
    layout->addWidget(FJobs, 3);
    connect(FJobs, &QTableWidget::currentCellChanged, this, [this](int row) { ShowRecord(row); });

    FStates = Table(kStateHeaders.data(), int(kStateHeaders.size()),
                    QStringLiteral("tblHistoryStates"), this);
    layout->addWidget(Labelled(kStatesLabel, FStates, kStatesTip, this));
    layout->addWidget(FStates, 2);
    FDetail = new QLabel(this);
    FDetail->setObjectName(QStringLiteral("lblHistoryDetail"));
    FDetail->setWordWrap(true);
    // Reached by Tab too, so that the keyboard can read and copy it.
    FDetail->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    FDetail->setFocusPolicy(Qt::StrongFocus);
    FDetail->setToolTip(Tr(kDetailTip));
    layout->addWidget(FDetail);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(Tr(kCloseText), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("btnHistoryClose"));
    close->setToolTip(Tr(kCloseTip));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(900, 560);
    btnHistoryShowClick();
}

QStringList TRecordsHistoryDialog::Texts() {
    QStringList texts;
    // "Close" is the window's text already.
    texts += Latin1Texts({kTitle, kIdLabel, kIdTip, kShowText, kShowTip, kJobsLabel, kJobsTip,
                          kStatesLabel, kStatesTip, kNone, kNoId, kCannotRead, kWho, kDevice,
                          kTemplate, kValues, kNotKnown});
    for (const char* header : kJobHeaders) {
        texts.append(QString::fromLatin1(header));
    }
    // "Port" is a setting's text already, "Setting" and "Device" the snapshot list's.
    texts.removeOne(QStringLiteral("Port"));
    for (const char* header : {kStateHeaders[1], kStateHeaders[2]}) {
        texts.append(QString::fromLatin1(header));
    }
    return texts;
}

QStringList TRecordsHistoryDialog::TipTexts() {
    return {QString::fromLatin1(kDetailTip), QString::fromLatin1(kCloseTip)};
}

void TRecordsHistoryDialog::btnHistoryShowClick() {
    FShown.clear();
    FJobs->setRowCount(0);
    ShowRecord(-1);
    const QString id = FId->text().trimmed();
    if (id.isEmpty()) {
        FNotice->setText(Tr(kNoId));
        FId->setFocus();
        return;
    }
    QString notice;
    if (const auto error = FRecords.Find({.DeviceId = id}, FShown, notice)) {
        FNotice->setText(Tr(kCannotRead).arg(*error));
        return;
    }
    FNotice->setText(!notice.isEmpty() ? notice : FShown.empty() ? Tr(kNone).arg(id) : QString());
    FJobs->setRowCount(int(FShown.size()));
    for (int row = 0; row < int(FShown.size()); ++row) {
        const TJobRecord& r = FShown[row];
        const std::array<QString, 9> cells = {
            QString(r.Time).replace(QLatin1Char('T'), QLatin1Char(' ')).chopped(1),
            r.Operation,
            r.Result,
            r.Port,
            r.Station,
            r.User,
            r.Template,
            QLocale::c().toString(double(r.DurationMs) / 1000.0, 'f', 1) + QStringLiteral(" s"),
            r.Detail};
        for (int column = 0; column < int(cells.size()); ++column) {
            FJobs->setItem(row, column, ReadOnlyCell(cells[column]));
        }
    }
    FJobs->resizeColumnsToContents();
    if (!FShown.empty()) {
        FJobs->setCurrentCell(0, 0);
        FJobs->setFocus();
    }
}

void TRecordsHistoryDialog::ShowRecord(int row) {
    FStates->setRowCount(0);
    FDetail->clear();
    if (row < 0 || row >= int(FShown.size())) {
        return;
    }
    const TJobRecord& r = FShown[row];
    const QString unknown = Tr(kNotKnown);
    QStringList detail = {Tr(kWho).arg(r.Station, r.User, r.Program, r.Version),
                          Tr(kDevice).arg(Or(r.Firmware, unknown), Or(r.Alias, unknown))};
    if (!r.Template.isEmpty()) {
        detail.append(Tr(kTemplate).arg(r.Template, r.TemplateSha256));
    }
    if (!r.ValuesRow.isEmpty()) {
        detail.append(Tr(kValues).arg(r.ValuesRow));
    }
    detail.append(r.Detail);
    FDetail->setText(detail.join(QLatin1Char(' ')).trimmed());
    const QJsonObject states = QJsonDocument::fromJson(r.States.toUtf8()).object();
    // In the catalogue's order (P08.2 before P08.10), keys it does not know last.
    QStringList keys = states.keys();
    const auto position = [](const QString& key) {
        const auto& entries = TParamCatalogue::Entries();
        const auto found = std::find_if(entries.begin(), entries.end(),
                                        [&](const TParamEntry& e) { return e.Key == key; });
        return found - entries.begin();
    };
    std::stable_sort(keys.begin(), keys.end(),
                     [&](const QString& a, const QString& b) { return position(a) < position(b); });
    FStates->setRowCount(int(keys.size()));
    for (int line = 0; line < int(keys.size()); ++line) {
        const QString& key = keys[line];
        const TParamEntry* entry = TParamCatalogue::Find(key);
        const QJsonObject state = states.value(key).toObject();
        const std::array<QString, 4> cells = {
            entry ? QStringLiteral("%1 (%2)").arg(entry->Caption, key) : key,
            state.value(QStringLiteral("state")).toString(),
            state.value(QStringLiteral("sent")).toString(),
            state.value(QStringLiteral("device")).toString()};
        for (int column = 0; column < int(cells.size()); ++column) {
            FStates->setItem(line, column, ReadOnlyCell(cells[column]));
        }
    }
    FStates->resizeColumnsToContents();
}
