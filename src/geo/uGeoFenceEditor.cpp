#include "uGeoFenceEditor.h"

#include "uExchangeEngine.h"
#include "uGeoFenceModel.h"
#include "uLanguage.h"
#include "uMapPage.h"
#include "uMessageService.h"
#include "uNumbers.h"
#include "uUtils.h"
#include "ui_uFrmMain.h"

#include <QHeaderView>
#include <array>
#include <set>
#include <utility>

namespace {

constexpr std::int32_t kGeoFenceParam = 8;
constexpr int kLatitudeDigits = 2;
constexpr int kLongitudeDigits = 3;

// Initial widths of the columns, in tag order.
constexpr std::array<int, TGeoFenceModel::kColumns> kColumnWidths = {45, 70, 75, 79, 95, 100};

// A list has no grid; a line under every cell gives the rows their horizontal rules. Styling
// the items takes their selection colours from the style, so they are given again here, the
// same with or without focus.
const QString kRowLines = QStringLiteral("QTreeView::item { border-bottom: 1px solid #d8d8d8; }"
                                         "QTreeView::item:selected { background: "
                                         "palette(highlight); color: palette(highlighted-text); }");

// The text of a corner edit as a number; anything that is not one counts as 0.
double CornerValue(const QLineEdit* edit) {
    return TextToDouble(edit->text()).value_or(0.0);
}

} // namespace

TGeoFenceEditor::TGeoFenceEditor(Ui::TFrmMain& ui, TExchangeEngine& engine, IMapPage& map,
                                 IMessageService& messages, TGeoFenceList& fences,
                                 TGeoFenceModel& model, QObject* parent)
    : QObject(parent), FUi(ui), FEngine(engine), FMap(map), FMessages(messages), FFences(fences),
      FModel(model) {}

void TGeoFenceEditor::InitGeoFenceList(const QStringList& headers) {
    for (int i = 0; i < static_cast<int>(FFences.size()); ++i) {
        FFences[i] = TGeoFence();
        FFences[i].ID = i + 1;
    }
    FModel.SetHeaders(headers);
    QTreeView* list = FUi.vtList;
    list->setModel(&FModel);
    list->setItemsExpandable(false);
    list->setAllColumnsShowFocus(true);
    list->setStyleSheet(kRowLines);
    QHeaderView* header = list->header();
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int tag = 0; tag < TGeoFenceModel::kColumns; ++tag) {
        header->resizeSection(tag, kColumnWidths[tag]);
    }
    connect(list, &QAbstractItemView::clicked, this, &TGeoFenceEditor::vtListClick);
    connect(list, &QAbstractItemView::doubleClicked, this, &TGeoFenceEditor::vtListDblClick);
}

std::vector<int> TGeoFenceEditor::SelectedRows() const {
    std::set<int> rows;
    if (const QItemSelectionModel* selection = FUi.vtList->selectionModel()) {
        for (const QModelIndex& index : selection->selectedIndexes()) {
            rows.insert(index.row());
        }
    }
    return {rows.begin(), rows.end()};
}

TGeoFence* TGeoFenceEditor::SelectedGeoFence() {
    const std::vector<int> rows = SelectedRows();
    return rows.empty() ? nullptr : &FFences[rows.front()];
}

void TGeoFenceEditor::EnterFenceSetting() {
    FFenceSetting = true;
    FMap.CallJavaScript(FenceEnterSettingStatement(true));
}

void TGeoFenceEditor::LeaveFenceSetting() {
    FFenceSetting = false;
    FMap.CallJavaScript(FenceEnterSettingStatement(false));
}

void TGeoFenceEditor::LeaveStep() {
    if (FFenceSetting) {
        LeaveFenceSetting();
    }
}

// The common start of the operations that change what the map is doing: the map must be there,
// and corner picking ends.
bool TGeoFenceEditor::BeginMapOperation() {
    if (!FMap.CheckMapLoaded()) {
        return false;
    }
    LeaveStep();
    return true;
}

// The same for the operations that write to the device, which start with an empty queue.
bool TGeoFenceEditor::BeginDeviceWrite() {
    if (!BeginMapOperation()) {
        return false;
    }
    FEngine.ClearQueue();
    return true;
}

void TGeoFenceEditor::HideGeoFences() {
    FMap.CallJavaScript(HideGeoFenceStatement());
}

void TGeoFenceEditor::DrawGeoFence(const TGeoFence& corners, const TFenceStyle& style) {
    for (const QString& statement : DrawGeoFenceStatements(corners, style)) {
        FMap.CallJavaScript(statement);
    }
}

void TGeoFenceEditor::PanMapTo(double latitude, double longitude) {
    if (latitude != 0.0 && longitude != 0.0) {
        FMap.CallJavaScript(LocateToStatement(latitude, longitude));
    }
}

TCmdItem TGeoFenceEditor::WriteCommand(const TGeoFence& fence) {
    return TCmdItem{kGeoFenceParam, kCmdWrite,
                    QStringLiteral(",%1,%2,%3,%4,%5,%6")
                        .arg(QString::number(fence.ID),
                             DegreesToCoord(kLongitudeDigits, fence.LTLongitude),
                             DegreesToCoord(kLatitudeDigits, fence.LTLatitude),
                             DegreesToCoord(kLongitudeDigits, fence.RBLongitude),
                             DegreesToCoord(kLatitudeDigits, fence.RBLatitude), fence.Name),
                    kCmdParam};
}

void TGeoFenceEditor::AddWrite(const TGeoFence& fence) {
    const TCmdItem cmd = WriteCommand(fence);
    FEngine.AddCmd(cmd.ParamNo, cmd.RW, cmd.Args, cmd.Kind);
}

// A command that cannot be written (the line failed, or a name from the device made it too
// long for a frame) ends the batch with the link's message instead of leaving it half started.
void TGeoFenceEditor::Start(const QAbstractButton* button) {
    if (const auto error = FEngine.StartBatch(BatchLabel(button->text()))) {
        FMessages.ShowMessage(*error, QStringLiteral("ERROR"), TMessageIcon::Error);
    }
}

// While the panel is open no row can be clicked or selected, so the edited fence stays the
// selected one.
void TGeoFenceEditor::ShowEditPanel(bool shown) {
    FUi.pnlGeoEdit->setVisible(shown);
    FUi.vtList->setEnabled(!shown);
}

void TGeoFenceEditor::btn_GeoReadClick() {
    FEngine.ClearQueue();
    for (const TGeoFence& fence : FFences) {
        FEngine.AddCmd(kGeoFenceParam, kCmdRead, QStringLiteral(",%1").arg(fence.ID), kCmdParam);
    }
    Start(FUi.btn_GeoRead);
}

// Leaving first and entering again drops markers placed before, so the page never holds two
// corner-picking listeners.
void TGeoFenceEditor::btn_GeoEditClick() {
    if (!BeginMapOperation()) {
        return;
    }
    EnterFenceSetting();
    const TGeoFence* fence = SelectedGeoFence();
    if (fence == nullptr) {
        return;
    }
    // The number goes in by replacement: a translated text is never used as a format.
    FUi.pnlGeoEdit->setTitle(TranslateText(QStringLiteral("Geo-Fence ID: [ %d ]"))
                                 .replace(QStringLiteral("%d"), QString::number(fence->ID)));
    FUi.txtGeofenceName->setText(fence->Name);
    const std::array<std::pair<QLineEdit*, double>, 4> corners = {{
        {FUi.txtGeofenceLTLongitude, fence->LTLongitude},
        {FUi.txtGeofenceLTLatitude, fence->LTLatitude},
        {FUi.txtGeofenceRBLongitude, fence->RBLongitude},
        {FUi.txtGeofenceRBLatitude, fence->RBLatitude},
    }};
    for (const auto& [edit, value] : corners) {
        edit->setText(TGeoFenceModel::GeneralNumberText(value));
    }
    ShowEditPanel(true);
}

// The record takes the panel's values before the device has answered.
void TGeoFenceEditor::btnGeoSaveClick() {
    if (!BeginDeviceWrite()) {
        return;
    }
    TGeoFence* fence = SelectedGeoFence();
    if (fence == nullptr) {
        return;
    }
    fence->Name = TGeoFence::SendableName(FUi.txtGeofenceName->text());
    fence->LTLongitude = CornerValue(FUi.txtGeofenceLTLongitude);
    fence->LTLatitude = CornerValue(FUi.txtGeofenceLTLatitude);
    fence->RBLongitude = CornerValue(FUi.txtGeofenceRBLongitude);
    fence->RBLatitude = CornerValue(FUi.txtGeofenceRBLatitude);
    FModel.Refresh();
    AddWrite(*fence);
    Start(FUi.btn_GeoSetAll);
    ShowEditPanel(false);
}

void TGeoFenceEditor::btn_CloseClick() {
    if (!BeginMapOperation()) {
        return;
    }
    ShowEditPanel(false);
}

// The records' current values go out; the edit panel is not read.
void TGeoFenceEditor::btn_GeoSetAllClick() {
    if (!BeginDeviceWrite()) {
        return;
    }
    const std::vector<int> rows = SelectedRows();
    for (const int row : rows) {
        AddWrite(FFences[row]);
    }
    if (!rows.empty()) {
        Start(FUi.btn_GeoSetAll);
    }
}

// The record keeps its corners until the table is read again.
void TGeoFenceEditor::btn_GeoDisableClick() {
    if (!BeginDeviceWrite()) {
        return;
    }
    const TGeoFence* fence = SelectedGeoFence();
    if (fence == nullptr) {
        return;
    }
    FEngine.AddCmd(kGeoFenceParam, kCmdWrite, QStringLiteral(",%1,0,0,0,0,").arg(fence->ID),
                   kCmdParam);
    Start(FUi.btn_GeoDisable);
    HideGeoFences();
}

void TGeoFenceEditor::vtListClick() {
    if (!FMap.CheckMapLoaded()) {
        return;
    }
    HideGeoFences();
    const TGeoFence* fence = SelectedGeoFence();
    if (fence == nullptr || fence->IsEmpty()) {
        return;
    }
    DrawGeoFence(*fence, TFenceStyle{});
    PanMapTo(fence->LTLatitude, fence->LTLongitude);
}

void TGeoFenceEditor::vtListDblClick() {
    btn_GeoEditClick();
}

// Only the last fence (ID 64) decides where the map pans.
void TGeoFenceEditor::btn_GeoShowAllFenceClick() {
    if (!FMap.CheckMapLoaded()) {
        return;
    }
    HideGeoFences();
    for (const TGeoFence& fence : FFences) {
        if (!fence.IsEmpty()) {
            DrawGeoFence(fence, TFenceStyle{});
        }
    }
    PanMapTo(FFences.back().LTLatitude, FFences.back().LTLongitude);
}

void TGeoFenceEditor::btn_GeoClearAllClick() {
    if (!BeginMapOperation()) {
        return;
    }
    HideGeoFences();
}
