#pragma once

#include "uGeoFence.h"

#include <QObject>
#include <QStringList>

namespace Ui {
class TFrmMain;
}
class IMessageService;
class QPushButton;
class TGeoFenceModel;

// Export... and Import... on the geo-fence page: the table to and from GeoJSON, KML and KMZ
// files of GIS tools and Google Earth. An import fills the table only, marked as not yet written;
// writing it stays the user's Write Selected Geo-fence, and the imported rows are selected
// for that.
class TFenceFileActions : public QObject {
    Q_OBJECT
public:
    TFenceFileActions(Ui::TFrmMain& ui, IMessageService& messages, TGeoFenceList& fences,
                      TGeoFenceModel& model, QObject* parent = nullptr);

    // The texts these actions show, for the language file; those added later in a list of
    // their own, so that earlier texts keep their ids.
    static QStringList Texts();
    static QStringList ExchangeTexts();
    // Captions, once the window's start-up texts have their ids.
    void ApplyTexts();

    void btnGeoExportClick();
    void btnGeoImportClick();

private:
    QString Caption(const QPushButton* button) const;
    void SelectRows(const std::vector<TGeoFence>& fences);

    Ui::TFrmMain& FUi;
    IMessageService& FMessages;
    TGeoFenceList& FFences;
    TGeoFenceModel& FModel;
    QPushButton* FExport = nullptr; // on the geo-fence box, under the list
    QPushButton* FImport = nullptr;
};
