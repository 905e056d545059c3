#include "uFrmCustomCmd.h"

#include "uLanguage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <array>

namespace {

QStringList TwoDigitItems(int count) {
    QStringList items;
    for (int i = 0; i < count; ++i) {
        items.append(QString::asprintf("%.2d", i));
    }
    return items;
}

QString Translated(const char* text) {
    return TranslateText(QString::fromLatin1(text));
}

// What each control does, as its tooltip, in the order the controls are made.
enum TTip { tipList, tipHour, tipMinute, tipAdd, tipDel, tipOK, tipCancel, kTipCount };
constexpr std::array<const char*, kTipCount> kToolTips = {
    "The upload time points, earliest first; select some to delete them",
    "The hour of the time point to add",
    "The minute of the time point to add",
    "Adds the hour and minute as a time point",
    "Deletes the selected time points",
    "Takes these time points",
    "Closes without taking the changes",
};

} // namespace

TfrmCustomCMD::TfrmCustomCMD(QWidget* parent)
    : QDialog(parent, Qt::Tool), FList(new QListWidget(this)), FHour(new QComboBox(this)),
      FMinute(new QComboBox(this)), FDel(new QPushButton(Translated("Del(&D)"), this)) {
    setWindowTitle(Translated("time items"));
    FList->setObjectName(QStringLiteral("lbxTime"));
    FList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FHour->setObjectName(QStringLiteral("cbHour"));
    FHour->addItems(TwoDigitItems(24));
    FMinute->setObjectName(QStringLiteral("cbMin"));
    FMinute->addItems(TwoDigitItems(60));
    FDel->setEnabled(false);

    auto* add = new QPushButton(Translated("Add(&A)"), this);
    auto* ok = new QPushButton(Translated("OK(&O)"), this);
    auto* cancel = new QPushButton(Translated("Cancel(&C)"), this);
    ok->setDefault(true);
    const std::array<QWidget*, kTipCount> tipped = {FList, FHour, FMinute, add, FDel, ok, cancel};
    for (int tip = 0; tip < kTipCount; ++tip) {
        tipped[tip]->setToolTip(Translated(kToolTips[tip]));
    }
    FList->setAccessibleName(Translated("time items"));

    auto* hourLabel = new QLabel(Translated("hour"), this);
    hourLabel->setBuddy(FHour);
    FHour->setAccessibleName(hourLabel->text());
    auto* minuteLabel = new QLabel(Translated("minute"), this);
    minuteLabel->setBuddy(FMinute);
    FMinute->setAccessibleName(minuteLabel->text());

    auto* layout = new QGridLayout(this);
    layout->addWidget(FList, 0, 0, 6, 1);
    layout->addWidget(hourLabel, 0, 1);
    layout->addWidget(FHour, 1, 1);
    layout->addWidget(minuteLabel, 0, 2);
    layout->addWidget(FMinute, 1, 2);
    layout->addWidget(add, 2, 1);
    layout->addWidget(FDel, 2, 2);
    layout->addWidget(ok, 4, 1);
    layout->addWidget(cancel, 4, 2);

    connect(add, &QPushButton::clicked, this, &TfrmCustomCMD::btnAddClick);
    connect(FDel, &QPushButton::clicked, this, &TfrmCustomCMD::btnDelClick);
    connect(ok, &QPushButton::clicked, this, &TfrmCustomCMD::btnOKClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(FList, &QListWidget::itemSelectionChanged, this, &TfrmCustomCMD::lbxTimeClick);

    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

QStringList TfrmCustomCMD::Texts() {
    QStringList texts;
    for (const char* tip : kToolTips) {
        texts.append(QString::fromLatin1(tip));
    }
    return texts;
}

// 00:00 is no time point: the day's first one is a minute past midnight at the earliest.
void TfrmCustomCMD::btnAddClick() {
    const int minute = FHour->currentIndex() * 60 + FMinute->currentIndex();
    if (minute > 0 && !FMinutes.test(minute)) {
        FMinutes.set(minute);
        RebuildList();
    }
}

void TfrmCustomCMD::btnDelClick() {
    for (const QListWidgetItem* item : FList->selectedItems()) {
        FMinutes.reset(item->data(Qt::UserRole).toInt());
    }
    RebuildList();
}

void TfrmCustomCMD::lbxTimeClick() {
    FDel->setEnabled(!FList->selectedItems().isEmpty());
}

void TfrmCustomCMD::btnOKClick() {
    FResult = QString::number(FList->count());
    for (int row = 0; row < FList->count(); ++row) {
        FResult += QLatin1Char(',') + QString::number(FList->item(row)->data(Qt::UserRole).toInt());
    }
    accept();
}

void TfrmCustomCMD::RebuildList() {
    FList->clear();
    for (int minute = 0; minute < kMinutesPerDay; ++minute) {
        if (FMinutes.test(minute)) {
            auto* item =
                new QListWidgetItem(QString::asprintf("%.2d:%.2d", minute / 60, minute % 60));
            item->setData(Qt::UserRole, minute);
            FList->addItem(item);
        }
    }
    lbxTimeClick();
}
