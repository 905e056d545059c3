#include "uSnapshotDiffDialog.h"

#include "uLanguage.h"
#include "uReadOnlyCell.h"
#include "uSnapshotValues.h"
#include "uUtils.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>

namespace {

const char* const kCompareTitle = "Settings that differ from the snapshot";
const char* const kRestoreTitle = "Settings to write to the device";
const char* const kRestoreHint =
    "Untick what the device should keep (Space toggles the current row).";
const char* const kCannotBeRead = "(the device cannot report it)";
const char* const kWriteText = "Write the ticked settings [&W]";
const char* const kCloseText = "Close";
const char* const kCancelText = "Cancel";
constexpr std::array<const char*, 3> kHeaders = {"Setting", "Snapshot", "Device"};

QString Tr(const char* text) {
    return TranslateText(QString::fromLatin1(text));
}

// The restore list: a row is selected exactly while it is ticked, so the one action assistive
// technology offers on a row (which selects or unselects it) ticks or unticks it too. Clicks
// and keys move the current row only; the tick box, Space and that action change the tick.
class TTickTable : public QTableWidget {
public:
    using QTableWidget::QTableWidget;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex&,
                                                         const QEvent*) const override {
        return QItemSelectionModel::NoUpdate;
    }
};

} // namespace

TSnapshotDiffDialog::TSnapshotDiffDialog(const std::vector<TDiffRow>& rows, bool choose,
                                         QWidget* parent, const QString& note)
    : QDialog(parent) {
    setObjectName(QStringLiteral("dlgSnapshotDiff"));
    setWindowTitle(Tr(choose ? kRestoreTitle : kCompareTitle));
    auto* layout = new QVBoxLayout(this);
    if (choose) {
        layout->addWidget(new QLabel(Tr(kRestoreHint), this));
    }
    if (!note.isEmpty()) {
        auto* values = new QLabel(note, this);
        values->setObjectName(QStringLiteral("lblSnapshotValues"));
        values->setWordWrap(true);
        layout->addWidget(values);
    }
    FTable = choose ? new TTickTable(int(rows.size()), int(kHeaders.size()), this)
                    : new QTableWidget(int(rows.size()), int(kHeaders.size()), this);
    FTable->setObjectName(QStringLiteral("tblSnapshotDiff"));
    QStringList headers;
    for (const char* header : kHeaders) {
        headers.append(Tr(header));
    }
    FTable->setHorizontalHeaderLabels(headers);
    FTable->verticalHeader()->hide();
    FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    FTable->setSelectionMode(choose ? QAbstractItemView::MultiSelection
                                    : QAbstractItemView::SingleSelection);
    FTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int row = 0; row < int(rows.size()); ++row) {
        const TDiffRow& diff = rows[row];
        FKeys.append(diff.Key);
        QTableWidgetItem* setting = ReadOnlyCell(diff.Caption);
        if (choose) {
            setting->setFlags(setting->flags() | Qt::ItemIsUserCheckable);
            setting->setCheckState(Qt::Checked);
        }
        FTable->setItem(row, 0, setting);
        FTable->setItem(
            row, 1,
            ReadOnlyCell(ShownValue(diff.A.value_or(QString()), diff.FaultA, ::TranslateText)));
        FTable->setItem(row, 2,
                        ReadOnlyCell(diff.B ? ShownValue(*diff.B, diff.FaultB, ::TranslateText)
                                            : Tr(kCannotBeRead)));
    }
    FTable->resizeColumnsToContents();
    FTable->horizontalHeader()->setStretchLastSection(true);
    FTable->setCurrentCell(0, 0);
    if (choose) {
        KeepTicksSelected();
    }
    layout->addWidget(FTable);

    auto* buttons = new QDialogButtonBox(this);
    if (choose) {
        QPushButton* write = buttons->addButton(Tr(kWriteText), QDialogButtonBox::AcceptRole);
        write->setObjectName(QStringLiteral("btnSnapshotWrite"));
        buttons->addButton(Tr(kCancelText), QDialogButtonBox::RejectRole)
            ->setObjectName(QStringLiteral("btnSnapshotCancel"));
        connect(TSnapshotValues::AddButton(*buttons), &QPushButton::clicked, this,
                [this] { done(TSnapshotValues::kChosen); });
    } else {
        buttons->addButton(Tr(kCloseText), QDialogButtonBox::RejectRole)
            ->setObjectName(QStringLiteral("btnSnapshotCancel"));
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(760, 420);
    FTable->setFocus();
}

void TSnapshotDiffDialog::KeepTicksSelected() {
    FTable->selectAll();
    connect(FTable, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == 0) {
            FTable->selectionModel()->select(FTable->indexFromItem(item),
                                             (item->checkState() == Qt::Checked
                                                  ? QItemSelectionModel::Select
                                                  : QItemSelectionModel::Deselect) |
                                                 QItemSelectionModel::Rows);
        }
    });
    connect(FTable->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        for (int row = 0; row < FTable->rowCount(); ++row) {
            const bool selected = FTable->selectionModel()->isRowSelected(row);
            FTable->item(row, 0)->setCheckState(selected ? Qt::Checked : Qt::Unchecked);
        }
    });
}

QStringList TSnapshotDiffDialog::CheckedKeys() const {
    QStringList keys;
    for (int row = 0; row < FTable->rowCount(); ++row) {
        if (FTable->item(row, 0)->checkState() == Qt::Checked) {
            keys.append(FKeys[row]);
        }
    }
    return keys;
}

QStringList TSnapshotDiffDialog::Texts() {
    QStringList texts;
    // "Close" and "Cancel" are the window's texts already.
    texts += Latin1Texts({kCompareTitle, kRestoreTitle, kRestoreHint, kCannotBeRead, kWriteText});
    for (const char* header : kHeaders) {
        texts.append(QString::fromLatin1(header));
    }
    return texts;
}
