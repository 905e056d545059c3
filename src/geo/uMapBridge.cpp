#include "uMapBridge.h"

#include "uAppPaths.h"
#include "uIniDocument.h"
#include "uLanguage.h"
#include "uMapOfflineNotice.h"
#include "uMapPageTemplate.h"
#include "uMbTilesHandler.h"
#include "uMessageService.h"
#include "uMyExternal.h"
#include "uNumbers.h"
#include "ui_uFrmMain.h"

#include <QGuiApplication>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <cmath>

namespace {

// The default tile host takes no key; an operator whose tile host wants one sets it here.
constexpr const char* kMapApiKey = "";

// The page's own address: its scripts, styles and images come from the program's resources.
const QUrl kPageBaseUrl(QStringLiteral("qrc:/tervo/map/"));

const char* const kCentreOutOfRange =
    "The map centre must lie between latitude -90 and 90 and longitude -180 and 180.";
const char* const kMapName = "Map";

// The tile source in the settings file.
const QString kMapSection = QStringLiteral("map");
const QString kTileSourceKey = QStringLiteral("TileSource");

// An offline tile set: a path to an MBTiles file.
bool IsTileSetFile(const QString& source) {
    return source.endsWith(QLatin1String(".mbtiles"), Qt::CaseInsensitive);
}

double FieldNumber(const QLineEdit* field, double fallback) {
    const std::optional<double> value = TextToDouble(field->text().trimmed());
    return value && std::isfinite(*value) ? *value : fallback;
}

} // namespace

TMapBridge::TMapBridge(Ui::TFrmMain& ui, IMessageService& messages, QObject* parent)
    : QObject(parent), FUi(ui), FMessages(messages),
      FExternal(new TMyExternal(
          [this](double lng, double lat) { MapPointClicked(lng, lat); },
          [this](double ltLng, double ltLat, double rbLng, double rbLat) {
              MapBoundsChanged(ltLng, ltLat, rbLng, rbLat);
          },
          nullptr, nullptr, nullptr,
          [this](bool reachable) { FOfflineNotice->SetTilesReachable(reachable); }, this)),
      FTiles(new TMbTilesHandler(this)), FOfflineNotice(new TMapOfflineNotice(ui.pnlMapBody)) {}

// The page and its channel go before the external object they call and the profile and tile
// handler they use.
TMapBridge::~TMapBridge() {
    delete FWebBrowser.data();
    delete FProfile.data();
}

QStringList TMapBridge::Texts() {
    return {QString::fromLatin1(kCentreOutOfRange), QString::fromLatin1(kMapName)};
}

void TMapBridge::LoadMapPage() {
    FApiKey = QString::fromLatin1(kMapApiKey);
    FMapCenterLat = FieldNumber(FUi.ed_MapLat, kFallbackLat);
    FMapCenterLng = FieldNumber(FUi.ed_MapLng, kFallbackLng);
    FMapZoom = FieldNumber(FUi.ed_MapZoom, kFallbackZoom);
    if (std::abs(FMapCenterLat) > 90.0 || std::abs(FMapCenterLng) > 180.0) {
        FMessages.ShowMessage(TranslateText(QString::fromLatin1(kCentreOutOfRange)),
                              TranslateText(QStringLiteral("Error")), TMessageIcon::Error);
        return;
    }
    const QString source = FUi.ed_googleurl->text();
    StoreTileSource(source);
    QString host = source;
    FTileSetInUse = IsTileSetFile(source.trimmed());
    if (FTileSetInUse) {
        FTiles->SetFile(source.trimmed());
        host = TMbTilesHandler::TileAddress();
    }
    // A tile set that cannot serve pictures says why at once; a host is judged by its tiles.
    FOfflineNotice->SetTileSetProblem(FTileSetInUse ? FTiles->Problem() : QString());
    const QString page = FormatMapPage({host, FApiKey, FMapCenterLat, FMapCenterLng, FMapZoom});
    FOfflineNotice->SetTilesReachable(true); // until the new page's tiles say otherwise
    CreatedWebBrowser().setHtml(page, kPageBaseUrl);
}

QWebEngineView& TMapBridge::CreatedWebBrowser() {
    if (FWebBrowser) {
        return *FWebBrowser;
    }
    auto* layout = new QVBoxLayout(FUi.pnlMapBody);
    layout->setContentsMargins(0, 0, 0, 0);
    FWebBrowser = new QWebEngineView(FUi.pnlMapBody);
    FWebBrowser->setObjectName(QStringLiteral("FWebBrowser"));
    FWebBrowser->setAccessibleName(TranslateText(QString::fromLatin1(kMapName)));
    layout->addWidget(FWebBrowser);
    // A named profile keeps its tiles on disk, so a map once seen shows offline too.
    const QString storage = CacheFolder(QStringLiteral("webengine"));
    FProfile = new QWebEngineProfile(QStringLiteral("tervo-map"), this);
    FProfile->setPersistentStoragePath(storage);
    FProfile->setCachePath(storage + QStringLiteral("/cache"));
    FProfile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    FProfile->installUrlSchemeHandler(TMbTilesHandler::kScheme, FTiles);
    auto* page = new QWebEnginePage(FProfile, FWebBrowser);
    FWebBrowser->setPage(page);
    // The page comes from the program's resources and its tiles from the tile host; it has
    // no business with the computer's files.
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    auto* channel = new QWebChannel(page);
    channel->registerObject(QStringLiteral("external"), FExternal);
    page->setWebChannel(channel);
    connect(FWebBrowser, &QWebEngineView::loadFinished, this,
            &TMapBridge::FWebBrowserDocumentComplete);
    FWebBrowser->show();
    return *FWebBrowser;
}

void TMapBridge::FWebBrowserDocumentComplete(bool ok) {
    FMapLoaded = true;
    if (FTileSetInUse && FTiles->Problem().isEmpty()) {
        UseTileSetMetadata();
    }
    Q_EMIT PageLoaded(ok);
}

// The set's zoom levels, area and credit reach the page's tile layers. The attribution is
// shown as text: a file's markup has no business in the page.
void TMapBridge::UseTileSetMetadata() {
    const TMbTilesHandler::TTileSetInfo& info = FTiles->Info();
    CallJavaScript(QStringLiteral("useTileSet(%1,%2,%3,%4,%5,\"%6\")")
                       .arg(info.MaxZoom)
                       .arg(info.South, 0, 'f', 6)
                       .arg(info.West, 0, 'f', 6)
                       .arg(info.North, 0, 'f', 6)
                       .arg(info.East, 0, 'f', 6)
                       .arg(ScriptStringText(info.Attribution.toHtmlEscaped())));
}

void TMapBridge::ShowTileSource() {
    TIniDocument settings;
    if (settings.LoadFromFile(SettingsFilePath())) {
        return; // start-up has reported an unreadable settings file already
    }
    if (const auto source = settings.Value(kMapSection, kTileSourceKey)) {
        if (!source->isEmpty()) {
            FUi.ed_googleurl->setText(*source);
        }
    }
}

// Kept when it changes, keeping whatever else the settings file holds.
void TMapBridge::StoreTileSource(const QString& source) {
    TIniDocument settings;
    std::optional<QString> error = settings.LoadFromFile(SettingsFilePath());
    if (!error) {
        if (settings.Value(kMapSection, kTileSourceKey) == source) {
            return;
        }
        settings.WriteString(kMapSection, kTileSourceKey, source);
        error = settings.SaveToFile(SettingsFilePath());
    }
    if (error) {
        FMessages.ShowMessage(*error, TranslateText(QStringLiteral("Error")), TMessageIcon::Error);
    }
}

bool TMapBridge::CheckMapLoaded() {
    if (FMapLoaded) {
        return true;
    }
    FMessages.ShowMessage(TranslateText(QStringLiteral("Google Map not loading !")),
                          TranslateText(QStringLiteral("Message")), TMessageIcon::Information);
    return false;
}

void TMapBridge::CallJavaScript(const QString& statement) {
    if (statement.isEmpty() || !FWebBrowser) {
        return;
    }
    // Run at the page's top level, as a statement of its own; a thrown error comes back as
    // its message, anything else as null.
    const QString wrapped =
        QStringLiteral("(function () { try { (0, eval)(\"") + ScriptStringText(statement) +
        QStringLiteral("\"); return null; } catch (e) {"
                       " return String(e && e.message !== undefined ? e.message : e); } })()");
    FWebBrowser->page()->runJavaScript(wrapped, [this, statement](const QVariant& result) {
        if (result.typeId() == QMetaType::QString) {
            FMessages.ShowMessage(QStringLiteral("callJavaScript.") + statement + QLatin1Char(' ') +
                                      result.toString(),
                                  QGuiApplication::applicationDisplayName(),
                                  TMessageIcon::Information);
        }
    });
}

void TMapBridge::MapPointClicked(double longitude, double latitude) {
    const QByteArray latitudeText = TranslateText(QStringLiteral("Latitude")).toUtf8();
    const QByteArray longitudeText = TranslateText(QStringLiteral("Longitude")).toUtf8();
    FUi.txtLatLng->setText(QString::asprintf("%s: %.6f,%s: %.6f", latitudeText.constData(),
                                             latitude, longitudeText.constData(), longitude));
    FUi.txtLatLng->home(false); // the field is narrower than the text: show its start
}

void TMapBridge::MapBoundsChanged(double ltLongitude, double ltLatitude, double rbLongitude,
                                  double rbLatitude) {
    const std::initializer_list<std::pair<QLineEdit*, double>> corners = {
        {FUi.txtGeofenceLTLongitude, ltLongitude},
        {FUi.txtGeofenceLTLatitude, ltLatitude},
        {FUi.txtGeofenceRBLongitude, rbLongitude},
        {FUi.txtGeofenceRBLatitude, rbLatitude},
    };
    for (const auto& [edit, value] : corners) {
        edit->setText(QString::asprintf("%.6f", value));
    }
}
