#pragma once

#include "uCmdItem.h"
#include "uGeoFence.h"
#include "uMapStatements.h"

#include <QObject>
#include <QStringList>
#include <vector>

namespace Ui {
class TFrmMain;
}
class IMapPage;
class QAbstractButton;
class IMessageService;
class TExchangeEngine;
class TGeoFenceModel;

// The operations of the "Geo-fence Setting" page: reading the device's table, editing one fence
// in the edit panel, writing and disabling fences, and drawing them on the map. Everything but
// reading needs the map page, so each of those operations starts by asking whether it is there.
class TGeoFenceEditor : public QObject {
    Q_OBJECT
public:
    TGeoFenceEditor(Ui::TFrmMain& ui, TExchangeEngine& engine, IMapPage& map,
                    IMessageService& messages, TGeoFenceList& fences, TGeoFenceModel& model,
                    QObject* parent = nullptr);

    // Numbers the 64 empty records, puts the table on the list with the translated headers
    // (in column tag order) and connects the list's clicks.
    void InitGeoFenceList(const QStringList& headers);

    void btn_GeoReadClick();
    void btn_GeoEditClick();
    void btnGeoSaveClick();
    void btn_CloseClick();
    void btn_GeoSetAllClick();
    void btn_GeoDisableClick();
    void vtListClick();
    void vtListDblClick();
    void btn_GeoShowAllFenceClick();
    void btn_GeoClearAllClick();

    // The write of one fence as Write Selected Geo-fence sends it.
    static TCmdItem WriteCommand(const TGeoFence& fence);

    // True while the map takes clicks as fence corners.
    bool FenceSetting() const { return FFenceSetting; }

private:
    // The record of the first selected row, or nullptr.
    TGeoFence* SelectedGeoFence();
    std::vector<int> SelectedRows() const;
    void EnterFenceSetting();
    void LeaveFenceSetting();
    void LeaveStep();
    bool BeginMapOperation();
    bool BeginDeviceWrite();
    void HideGeoFences();
    void DrawGeoFence(const TGeoFence& corners, const TFenceStyle& style);
    void PanMapTo(double latitude, double longitude);
    void AddWrite(const TGeoFence& fence);
    // The batch is named after the button that started it.
    void Start(const QAbstractButton* button);
    void ShowEditPanel(bool shown);

    Ui::TFrmMain& FUi;
    TExchangeEngine& FEngine;
    IMapPage& FMap;
    IMessageService& FMessages;
    TGeoFenceList& FFences;
    TGeoFenceModel& FModel;
    bool FFenceSetting = false;
};
