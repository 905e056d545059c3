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
void MakeTileSet(const QString& path, const QByteArray& northWest, const QByteArray& southWest) {
    {
        QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", "make");
        database.setDatabaseName(path);
        ASSERT_TRUE(database.open());
        QSqlQuery query(database);
        ASSERT_TRUE(query.exec("CREATE TABLE metadata (name text, value text)"));
        ASSERT_TRUE(query.exec("INSERT INTO metadata VALUES ('format', 'png')"));
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

} // namespace
