#pragma once

#include "uMapPage.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWebEngineView>

namespace Ui {
class TFrmMain;
}
class IMessageService;
class TMyExternal;
class TMbTilesHandler;
class TMapOfflineNotice;
class QWebEngineProfile;

// The window's side of the map: builds the page from its template, loads it into the web view,
// runs statements in it and takes the page's calls through the external object. The web view
// is created the first time a page is loaded, so start-up does not pay for the web engine.
class TMapBridge : public QObject, public IMapPage {
    Q_OBJECT
public:
    static constexpr double kFallbackLat = 22.917922936146;
    static constexpr double kFallbackLng = 125.15625;
    static constexpr double kFallbackZoom = 2;

    TMapBridge(Ui::TFrmMain& ui, IMessageService& messages, QObject* parent = nullptr);
    ~TMapBridge() override;

    // Builds the page afresh from the centre, zoom and host fields and loads it (the host field
    // names a tile host, a tile address or an MBTiles file, and is kept in the settings file);
    // returns at once, the page reports its completion through PageLoaded.
    void LoadMapPage();
    // The texts of its own that the bridge may show.
    static QStringList Texts();

    // Puts the tile source of the settings file into the host field, when there is one.
    void ShowTileSource();

    bool CheckMapLoaded() override;
    // Runs the statement in the page; one that throws is reported with its error message.
    // Statements run in the order given.
    void CallJavaScript(const QString& statement) override;

    void MapPointClicked(double longitude, double latitude);
    void MapBoundsChanged(double ltLongitude, double ltLatitude, double rbLongitude,
                          double rbLatitude);

    bool MapLoaded() const { return FMapLoaded; }
    // Null until the first page load.
    QWebEngineView* WebBrowser() const { return FWebBrowser; }
    TMyExternal& External() { return *FExternal; }
    TMbTilesHandler& Tiles() { return *FTiles; }
    const TMapOfflineNotice& OfflineNotice() const { return *FOfflineNotice; }
    double MapCenterLat() const { return FMapCenterLat; }
    double MapCenterLng() const { return FMapCenterLng; }
    double MapZoom() const { return FMapZoom; }

Q_SIGNALS:
    // Each completed load of a page, whatever became of the map in it.
    void PageLoaded(bool ok);

private:
    QWebEngineView& CreatedWebBrowser();
    void FWebBrowserDocumentComplete(bool ok);
    void UseTileSetMetadata();
    void StoreTileSource(const QString& source);

    Ui::TFrmMain& FUi;
    IMessageService& FMessages;
    TMyExternal* FExternal = nullptr;            // child of the bridge
    TMbTilesHandler* FTiles = nullptr;           // child of the bridge
    TMapOfflineNotice* FOfflineNotice = nullptr; // on the map's panel
    QPointer<QWebEngineView> FWebBrowser;
    QPointer<QWebEngineProfile> FProfile; // child of the bridge, created with the web view
    bool FMapLoaded = false;
    bool FTileSetInUse = false; // the page's tiles come from an MBTiles file
    QString FApiKey;
    double FMapCenterLat = kFallbackLat;
    double FMapCenterLng = kFallbackLng;
    double FMapZoom = kFallbackZoom;
};
