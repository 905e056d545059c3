#include "uWindowRecords.h"

#include "uLanguage.h"
#include "uLedDisplay.h"
#include "uMessageService.h"
#include "uPortComboBox.h"
#include "uRecorder.h"
#include "uRecordsHistoryDialog.h"
#include "ui_uFrmMain.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {

const char* const kBoxTitle = "Records";
const char* const kHistoryText = "History... [&H]";
const char* const kHistoryTip =
    "Lists the jobs done on the connected device, or on a device whose ID you type, newest "
    "first, with the state of every setting";
const char* const kWhere = "Every job on a device is recorded in %1";
const char* const kWhereTip = "The records database: set it with [records] Database= in the "
                              "settings file, a file or a postgresql:// address";
const char* const kUnusable = "The records database in the settings file cannot be used (%1). "
                              "Records are kept in %2 until it can be.";
const char* const kLost = "The record of this job could not be kept: %1";

QString Tr(const char* text) {
    return TranslateText(QString::fromLatin1(text));
}

// The identity the window shows; zeros until a device has told its own.
QString ShownId(const Ui::TFrmMain& ui) {
    const QString id = ui.RzMeter_LED->Text().trimmed();
    return id.count(QLatin1Char('0')) == id.size() ? QString() : id;
}

} // namespace

TWindowRecords::TWindowRecords(Ui::TFrmMain& ui, IMessageService& messages, QWidget* page)
    : FUi(ui), FMessages(messages) {
    if (const auto location = TRecordsLocation::Configured(QString(), FLocationError)) {
        SetLocation(*location);
    }
    // Below the snapshot buttons, laid out by hand like them.
    FBox = new QGroupBox(page);
    FBox->setObjectName(QStringLiteral("gbRecords"));
    FBox->setGeometry(8, 80, 976, 64);
    FHistory = new QPushButton(FBox);
    FHistory->setObjectName(QStringLiteral("btnRecordsHistory"));
    FHistory->setGeometry(8, 24, 160, 30);
    connect(FHistory, &QPushButton::clicked, this, &TWindowRecords::btnRecordsHistoryClick);
    FWhere = new QLabel(FBox);
    FWhere->setObjectName(QStringLiteral("lblRecordsWhere"));
    FWhere->setGeometry(180, 24, 788, 30);
    FWhere->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

TWindowRecords::~TWindowRecords() = default;

QStringList TWindowRecords::Texts() {
    QStringList texts;
    for (const char* text :
         {kBoxTitle, kHistoryText, kHistoryTip, kWhere, kWhereTip, kUnusable, kLost}) {
        texts.append(QString::fromLatin1(text));
    }
    return texts + TRecordsHistoryDialog::Texts();
}

void TWindowRecords::ApplyTexts() {
    FBox->setTitle(Tr(kBoxTitle));
    FHistory->setText(Tr(kHistoryText));
    FHistory->setToolTip(Tr(kHistoryTip));
    const QString where = FRecorder ? FRecorder->Store().Location().Display()
                                    : QDir::toNativeSeparators(TRecordSpool::DefaultPath());
    FWhere->setText(Tr(kWhere).arg(where));
    FWhere->setToolTip(Tr(kWhereTip));
}

void TWindowRecords::SetLocation(const TRecordsLocation& location) {
    FRecorder = std::make_unique<TRecorder>(location);
    FLocationError.clear();
    if (FWhere) {
        ApplyTexts();
    }
}

TJobRecord TWindowRecords::Begin(const QString& operation) const {
    TJobRecord record = TJobRecord::Begin();
    record.Operation = operation;
    record.Port = FUi.cboCOMIndex->currentText().trimmed();
    return record;
}

void TWindowRecords::Keep(TJobRecord record) {
    record.End();
    // What the job did not tell, as the window shows the device now.
    for (auto [member, shown] : {std::pair{&TJobRecord::DeviceId, ShownId(FUi)},
                                 std::pair{&TJobRecord::Firmware, FUi.lblVersion->text()},
                                 std::pair{&TJobRecord::Alias, FUi.lblAnotherName->text()}}) {
        if ((record.*member).isEmpty()) {
            record.*member = shown.trimmed();
        }
    }
    QString notice;
    if (FRecorder) {
        notice = FRecorder->Record(record).Notice;
    } else if (const auto error = TRecordSpool().Append(record)) {
        notice = Tr(kLost).arg(*error);
    } else if (!std::exchange(FToldLost, true)) {
        notice = Tr(kUnusable).arg(FLocationError,
                                   QDir::toNativeSeparators(TRecordSpool::DefaultPath()));
    }
    if (!notice.isEmpty()) {
        // After the job's own notice, never inside the handling of a reply.
        QMetaObject::invokeMethod(
            this,
            [this, notice] { FMessages.ShowMessage(notice, Tr(kBoxTitle), TMessageIcon::Warning); },
            Qt::QueuedConnection);
    }
}

std::optional<QString> TWindowRecords::Find(const TRecordFilter& filter,
                                            std::vector<TJobRecord>& records, QString& notice) {
    if (!FRecorder) {
        return FLocationError;
    }
    return FRecorder->Find(filter, records, notice);
}

void TWindowRecords::btnRecordsHistoryClick() {
    if (FDialog) {
        FDialog->raise();
        FDialog->activateWindow();
        return;
    }
    FDialog = new TRecordsHistoryDialog(*this, ShownId(FUi), FBox->window());
    FDialog->setAttribute(Qt::WA_DeleteOnClose);
    FDialog->open();
}
