// Offline tile sets: an MBTiles file made here, served by the program's URL scheme, and its
// tiles reaching the real map page in a web view.
#include "GeoTestSupport.h"
#include "PageScripts.h"
#include "uIniDocument.h"
#include "uMapOfflineNotice.h"
#include "uMbTilesHandler.h"

#include <QBuffer>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

QByteArray Png(QColor color) {
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A tile set with two tiles of zoom 1, stored as MBTiles stores them: rows in TMS order.
void MakeTileSet(const QString& path, const QByteArray& northWest, const QByteArray& southWest,
                 const QList<std::pair<QString, QString>>& metadata = {{"format", "png"}}) {
    {
        QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", "make");
        database.setDatabaseName(path);
        ASSERT_TRUE(database.open());
        QSqlQuery query(database);
        ASSERT_TRUE(query.exec("CREATE TABLE metadata (name text, value text)"));
        for (const auto& [name, value] : metadata) {
            query.prepare("INSERT INTO metadata VALUES (?, ?)");
            query.addBindValue(name);
            query.addBindValue(value);
            ASSERT_TRUE(query.exec());
        }
        ASSERT_TRUE(query.exec("CREATE TABLE tiles (zoom_level integer, tile_column integer, "
                               "tile_row integer, tile_data blob)"));
        for (const auto& [row, data] : {std::pair{1, northWest}, std::pair{0, southWest}}) {
            query.prepare("INSERT INTO tiles VALUES (1, 0, ?, ?)");
            query.addBindValue(row);
            query.addBindValue(data);
            ASSERT_TRUE(query.exec());
        }
    }
    QSqlDatabase::removeDatabase("make");
}

class MbTilesTest : public GeoWindowTest {
protected:
    MbTilesTest() { MakeTileSet(Path("world.mbtiles"), kRed, kBlue); }
    QString Path(const QString& name) const { return FDir.filePath(name); }

    const QByteArray kRed = Png(Qt::red);
    const QByteArray kBlue = Png(Qt::blue);
};

TEST_F(MbTilesTest, TilesComeTheRightWayUpAndAMissingOneIsEmpty) {
    TMbTilesHandler tiles;
    EXPECT_EQ(tiles.Tile(1, 0, 0), QByteArray());
    tiles.SetFile(Path("world.mbtiles"));
    EXPECT_EQ(tiles.Tile(1, 0, 0), kRed);
    EXPECT_EQ(tiles.Tile(1, 0, 1), kBlue);
    EXPECT_EQ(tiles.Tile(1, 1, 0), QByteArray());
    EXPECT_EQ(tiles.Tile(0, 0, 0), QByteArray());
    // A file that is not there is not created, and serves nothing.
    tiles.SetFile(Path("missing.mbtiles"));
    EXPECT_EQ(tiles.Tile(1, 0, 0), QByteArray());
    EXPECT_FALSE(QFile::exists(Path("missing.mbtiles")));
    QFile garbage(Path("garbage.mbtiles"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a database");
    garbage.close();
    tiles.SetFile(Path("garbage.mbtiles"));
    EXPECT_EQ(tiles.Tile(1, 0, 0), QByteArray());
}

TEST_F(MbTilesTest, TheHostFieldTakesATileSetThatTheSettingsFileKeeps) {
    Ui().pgCtrl->setCurrentWidget(Ui().tsGeo);
    Window->show();
    Ui().ed_googleurl->setText(Path("world.mbtiles"));
    Ui().ed_MapLat->setText("0");
    Ui().ed_MapLng->setText("0");
    Ui().ed_MapZoom->setText("1");
    TPageScripts page(Window->MapBridge());
    ASSERT_TRUE(page.LoadMap(Ui()));

    // Each tile of zoom 1 the page shows, by its address, with the picture's width (0 when
    // the answer was empty).
    const auto tilesShown = [&] {
        return page
            .Json("Array.prototype.map.call(document.querySelectorAll('.leaflet-tile'),"
                  " function (t) { return t.src + ' ' + (t.complete ? t.naturalWidth : -1); })")
            .toStringList();
    };
    ASSERT_TRUE(WaitFor([&] {
        const QStringList shown = tilesShown();
        return shown.contains("tervo-mbtiles://tiles/1/0/0 256") &&
               shown.contains("tervo-mbtiles://tiles/1/0/1 256") &&
               shown.contains("tervo-mbtiles://tiles/1/1/0 0");
    })) << tilesShown().join(", ").toStdString();
    EXPECT_TRUE(Messages.Messages.isEmpty());
    // And they are what the user sees: west of the centre, the north-western tile above the
    // south-western one.
    const auto shownAt = [&](double across, double down) {
        QWebEngineView* view = Window->MapBridge().WebBrowser();
        const QImage picture = view->grab().toImage();
        return picture.pixelColor(int(picture.width() * across), int(picture.height() * down));
    };
    EXPECT_TRUE(WaitFor([&] {
        return shownAt(0.4, 0.25) == QColor(Qt::red) && shownAt(0.4, 0.75) == QColor(Qt::blue);
    })) << shownAt(0.4, 0.25).name().toStdString()
        << " " << shownAt(0.4, 0.75).name().toStdString();

    TIniDocument settings;
    ASSERT_EQ(settings.LoadFromFile(SettingsFilePath()), std::nullopt);
    EXPECT_EQ(settings.Value("map", "TileSource"), Path("world.mbtiles"));
    // The next start shows it in the host field.
    Ui().ed_googleurl->clear();
    Window->MapBridge().ShowTileSource();
    EXPECT_EQ(Ui().ed_googleurl->text(), Path("world.mbtiles"));
}

// A tile host that refuses every connection leaves the map without pictures: a notice on the
// map says so, and goes as soon as tiles arrive again.
TEST_F(MbTilesTest, AMapWithoutTilesSaysSoUntilTilesCome) {
    Ui().pgCtrl->setCurrentWidget(Ui().tsGeo);
    Window->show();
    const auto* notice = Window->findChild<QLabel*>("lblMapOffline");
    ASSERT_NE(notice, nullptr);
    Ui().ed_googleurl->setText("http://127.0.0.1:9");
    Ui().ed_MapLat->setText("0");
    Ui().ed_MapLng->setText("0");
    Ui().ed_MapZoom->setText("1");
    TPageScripts page(Window->MapBridge());
    ASSERT_TRUE(page.LoadMap(Ui()));
    ASSERT_TRUE(WaitFor([&] { return notice->isVisible(); }));
    EXPECT_EQ(notice->text(), TMapOfflineNotice::Text());
    // Across the top of the map, above the web view, inside the panel.
    const QRect map = Ui().pnlMapBody->rect();
    EXPECT_TRUE(map.contains(notice->geometry())) << notice->geometry().width();
    EXPECT_GT(notice->height(), 0);
    EXPECT_EQ(Ui().pnlMapBody->childAt(notice->geometry().center()), notice);

    // Corner picking goes on without tiles.
    page.Eval("fireOnPoint(L.latLng(10, 20))");
    EXPECT_TRUE(WaitFor([&] { return Ui().txtLatLng->text().contains("10.000000"); }));

    Ui().ed_googleurl->setText(Path("world.mbtiles"));
    ASSERT_TRUE(page.LoadMap(Ui()));
    EXPECT_FALSE(notice->isVisible());
    // A tile set that lacks the tiles in view is not a host out of reach.
    page.Eval("map_obj.setZoom(0)");
    QTest::qWait(500);
    EXPECT_FALSE(notice->isVisible());
}

// Each tile set that cannot serve pictures says why on the map, at once and in words.
TEST_F(MbTilesTest, ATileSetWithoutPicturesSaysWhyOnTheMap) {
    Ui().pgCtrl->setCurrentWidget(Ui().tsGeo);
    Window->show();
    const auto* notice = Window->findChild<QLabel*>("lblMapOffline");
    QFile garbage(Path("garbage.mbtiles"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    MakeTileSet(Path("vector.mbtiles"), kRed, kBlue, {{"format", "pbf"}});
    const std::vector<std::pair<QString, QString>> cases = {
        {Path("missing.mbtiles"), "The tile set " + Path("missing.mbtiles") +
                                      " cannot be found, so the map shows no pictures. Fences "
                                      "and corner picking still work."},
        {Path("garbage.mbtiles"), Path("garbage.mbtiles") +
                                      " is no MBTiles tile set (an SQLite database with a tiles "
                                      "table), so the map shows no pictures. Fences and corner "
                                      "picking still work."},
        {Path("vector.mbtiles"), Path("vector.mbtiles") +
                                     " holds vector tiles (format pbf), which the map cannot "
                                     "draw; use a tile set of PNG, JPEG or WebP pictures. Fences "
                                     "and corner picking still work."},
        {Path("world.mbtiles"), ""},
    };
    TPageScripts page(Window->MapBridge());
    for (const auto& [file, text] : cases) {
        Ui().ed_googleurl->setText(file);
        ASSERT_TRUE(page.LoadMap(Ui()));
        EXPECT_EQ(notice->isVisible(), !text.isEmpty()) << file.toStdString();
        if (!text.isEmpty()) {
            EXPECT_EQ(notice->text(), text);
        }
    }
    EXPECT_FALSE(QFile::exists(Path("missing.mbtiles")));
    EXPECT_TRUE(Messages.Messages.isEmpty());
}

// Past the set's deepest level its tiles are drawn larger; tiles are asked for only inside its
// area; its attribution, as text, stands where the tile host's would.
TEST_F(MbTilesTest, TheSetsMetadataLimitsAndCreditsTheMap) {
    MakeTileSet(Path("shallow.mbtiles"), kRed, kBlue,
                {{"format", "png"},
                 {"maxzoom", "1"},
                 {"bounds", "-180,0,0,85"},
                 {"attribution", "© Survey <b>2024</b>"}});
    Ui().pgCtrl->setCurrentWidget(Ui().tsGeo);
    Window->show();
    Ui().ed_googleurl->setText(Path("shallow.mbtiles"));
    Ui().ed_MapLat->setText("-40");
    Ui().ed_MapLng->setText("100");
    Ui().ed_MapZoom->setText("3");
    TPageScripts page(Window->MapBridge());
    ASSERT_TRUE(page.LoadMap(Ui()));
    const auto tilesShown = [&] {
        return page
            .Json("Array.prototype.map.call(document.querySelectorAll("
                  "'#map_div > .leaflet-pane .leaflet-tile-loaded'), function (t) {"
                  " return t.src + ' ' + t.naturalWidth; })")
            .toStringList();
    };
    // The map opened outside the set's area and moved onto it.
    ASSERT_TRUE(WaitFor([&] { return page.Eval("map_obj.getCenter().lat").toDouble() > 0; }));
    EXPECT_LT(page.Eval("map_obj.getCenter().lng").toDouble(), 0);
    page.Eval("map_obj.setView(L.latLng(40, -90), 3, { animate: false })");
    ASSERT_TRUE(WaitFor([&] {
        const QStringList shown = tilesShown();
        return !shown.isEmpty() && shown.filter("tiles/1/0/0 256").size() == shown.size();
    })) << tilesShown().join(", ").toStdString();
    QWebEngineView* view = Window->MapBridge().WebBrowser();
    EXPECT_TRUE(WaitFor([&] {
        const QImage picture = view->grab().toImage();
        return picture.pixelColor(picture.width() / 2, picture.height() / 2) == QColor(Qt::red);
    }));
    EXPECT_TRUE(page.Eval("document.querySelector('.leaflet-control-attribution').textContent")
                    .toString()
                    .contains("© Survey <b>2024</b>"));
    EXPECT_TRUE(Messages.Messages.isEmpty());
}

} // namespace
