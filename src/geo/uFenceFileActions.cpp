#include "uFenceFileActions.h"

#include "uAppPaths.h"
#include "uFenceExchange.h"
#include "uGeoFenceModel.h"
#include "uLanguage.h"
#include "uMessageService.h"
#include "uUtils.h"
#include "ui_uFrmMain.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <algorithm>

namespace {

const char* const kExportText = "Export...";
const char* const kImportText = "Import...";
const char* const kExportTip = "Saves the geo-fences that are set as a GeoJSON, KML or KMZ file "
                               "(by its extension) for GIS tools and Google Earth";
const char* const kImportTip = "Puts the geo-fences of a GeoJSON, KML or KMZ file into the list; "
                               "Write Selected Geo-fence writes them";
const char* const kImportFilter =
    "Geo-fence files (*.geojson *.json *.kml *.kmz);;GeoJSON (*.geojson *.json);;"
    "KML (*.kml *.kmz);;All files (*)";
const char* const kNothingSet = "No geo-fence is set, so there is nothing to export.";
const char* const kReplace = "%1 already exists. Replace it with the geo-fences?";
const char* const kRefused = "The geo-fences were not imported, nothing has changed.";
const char* const kTakes = "The file holds %1 geo-fence(s). They take the numbers %2.";
const char* const kReplaces = "These numbers hold a geo-fence now, which is replaced: %1.";
const char* const kUntilWritten =
    "The device keeps its geo-fences until you write them with Write Selected Geo-fence.";
const char* const kImportedMark = "Imported from a file, not yet written to the device";
// Language files keep one text a line, so paragraphs are joined here.
const QString kParagraph = QStringLiteral("\n\n");
const QString kFolder = QStringLiteral("fences");
const char* const kExportFilter =
    "GeoJSON (*.geojson *.json);;KML (*.kml);;KMZ, Google Earth (*.kmz);;All files (*)";
const char* const kLeftOut = "These geo-fences were left out of the file:";
const char* const kSkipped = "These features have no geometry and are skipped: %1.";
const QString kExtension = QStringLiteral(".geojson");
const QString kProposedName = QStringLiteral("geofences") + kExtension;

QString Tr(const char* text) {
    return TranslateText(QString::fromLatin1(text));
}

} // namespace

TFenceFileActions::TFenceFileActions(Ui::TFrmMain& ui, IMessageService& messages,
                                     TGeoFenceList& fences, TGeoFenceModel& model, QObject* parent)
    : QObject(parent), FUi(ui), FMessages(messages), FFences(fences), FModel(model) {
    // The list gives up a button's height; the buttons sit under it, beneath the edit panel
    // that covers the list while a fence is edited.
    constexpr int kRowHeight = 30;
    constexpr int kButtonWidth = 100;
    QRect list = ui.vtList->geometry();
    list.setHeight(list.height() - kRowHeight - 4);
    ui.vtList->setGeometry(list);
    FImport = new QPushButton(ui.gbGeoFence);
    FImport->setObjectName(QStringLiteral("btnGeoImport"));
    FExport = new QPushButton(ui.gbGeoFence);
    FExport->setObjectName(QStringLiteral("btnGeoExport"));
    int x = list.x();
    for (QPushButton* button : {FImport, FExport}) {
        button->setGeometry(x, list.bottom() + 3, kButtonWidth, kRowHeight);
        button->stackUnder(ui.pnlGeoEdit);
        x += kButtonWidth + 4;
    }
    // A keyboard user meets them where they stand: after the list, before the row below.
    QWidget::setTabOrder(ui.vtList, FImport);
    QWidget::setTabOrder(FImport, FExport);
    connect(FExport, &QPushButton::clicked, this, &TFenceFileActions::btnGeoExportClick);
    connect(FImport, &QPushButton::clicked, this, &TFenceFileActions::btnGeoImportClick);
}

QStringList TFenceFileActions::Texts() {
    return Latin1Texts({kExportText, kImportText, kExportTip, kImportTip, kImportFilter,
                        kNothingSet, kReplace, kRefused, kTakes, kReplaces, kUntilWritten,
                        kImportedMark, kExportFilter});
}

QStringList TFenceFileActions::ExchangeTexts() {
    return {QString::fromLatin1(kLeftOut), QString::fromLatin1(kSkipped)};
}

void TFenceFileActions::ApplyTexts() {
    FExport->setText(Tr(kExportText));
    FImport->setText(Tr(kImportText));
    FExport->setToolTip(Tr(kExportTip));
    FImport->setToolTip(Tr(kImportTip));
}

// A button's caption as the title of its boxes: "Import..." → "Import".
QString TFenceFileActions::Caption(const QPushButton* button) const {
    QString caption = button->text().remove(QLatin1Char('&'));
    while (caption.endsWith(QLatin1Char('.'))) {
        caption.chop(1);
    }
    return caption;
}

void TFenceFileActions::btnGeoExportClick() {
    if (std::all_of(FFences.begin(), FFences.end(),
                    [](const TGeoFence& fence) { return fence.IsEmpty(); })) {
        FMessages.ShowMessage(Tr(kNothingSet), Caption(FExport), TMessageIcon::Information);
        return;
    }
    const QString folder = UserFolder(kFolder);
    QDir().mkpath(folder);
    auto path =
        FMessages.GetSaveFileName(folder + QLatin1Char('/') + kProposedName, Tr(kExportFilter));
    if (!path) {
        return;
    }
    // A name typed without an extension gets the one GIS tools look for.
    if (QFileInfo(*path).suffix().isEmpty()) {
        *path += kExtension;
    }
    if (QFileInfo::exists(*path) &&
        !FMessages.Confirm(Tr(kReplace).arg(QDir::toNativeSeparators(*path)), Caption(FExport))) {
        return;
    }
    const TFenceExport exported = TFenceExchange::ExportFile(*path, FFences);
    if (!exported.Error.isEmpty()) {
        FMessages.ShowMessage(exported.Error, QStringLiteral("ERROR"), TMessageIcon::Error);
    } else if (!exported.LeftOut.isEmpty()) {
        FMessages.ShowMessage(Tr(kLeftOut) + kParagraph + exported.LeftOut.join(QLatin1Char('\n')),
                              Caption(FExport), TMessageIcon::Warning);
    }
}

void TFenceFileActions::btnGeoImportClick() {
    const QString folder = UserFolder(kFolder);
    const auto path =
        FMessages.GetOpenFileName(QDir(folder).exists() ? folder : QString(), Tr(kImportFilter));
    if (!path) {
        return;
    }
    const TFenceImport import = TFenceExchange::ImportFile(*path);
    if (!import.Error.isEmpty()) {
        FMessages.ShowMessage(Tr(kRefused) + kParagraph + import.Error, Caption(FImport),
                              TMessageIcon::Error);
        return;
    }
    const std::vector<int> numbers = import.Numbers();
    const std::vector<int> replaced = import.Replacing(FFences);
    QString question = Tr(kTakes).arg(numbers.size()).arg(TFenceExchange::NumberRanges(numbers));
    if (!replaced.empty()) {
        question += QLatin1Char(' ') + Tr(kReplaces).arg(TFenceExchange::NumberRanges(replaced));
    }
    if (!import.Skipped.isEmpty()) {
        question += QLatin1Char(' ') + Tr(kSkipped).arg(import.Skipped.join(QStringLiteral(", ")));
    }
    question += kParagraph + Tr(kUntilWritten);
    if (!FMessages.Confirm(question, Caption(FImport))) {
        return;
    }
    for (const TGeoFence& fence : import.Fences) {
        FFences[fence.ID - 1] = fence;
        FModel.SetMark(fence.ID, TFieldMark::Edited, Tr(kImportedMark));
    }
    FModel.Refresh();
    SelectRows(import.Fences);
}

void TFenceFileActions::SelectRows(const std::vector<TGeoFence>& fences) {
    QItemSelectionModel* selection = FUi.vtList->selectionModel();
    if (selection == nullptr) {
        return;
    }
    QItemSelection rows;
    for (const TGeoFence& fence : fences) {
        const int row = fence.ID - 1;
        rows.select(FModel.index(row, 0), FModel.index(row, TGeoFenceModel::kColumns - 1));
    }
    selection->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    FUi.vtList->scrollTo(FModel.index(fences.front().ID - 1, 0));
}
