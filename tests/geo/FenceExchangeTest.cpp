#include "uFenceExchange.h"
#include "uUtils.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

using testing::DoubleEq;
using testing::ElementsAre;
using testing::Pointwise;

namespace {

// The fences as the device reports them, left top corner first; under one degree the whole
// degrees are "0" before the two digits of the minutes, as the window writes them too.
const char* const kDeviceValues[] = {
    "1,11354.0000,2230.0000,11406.0000,2224.0000,HOME",
    "5,-7359.1234,4045.0001,-7355.9999,4041.4321,Yard North",
    "17,002.0001,-3352.5000,018.9999,-3401.0002,",
    "64,-17959.9999,8959.9999,17959.9999,-8959.9999,World",
};

TGeoFenceList TableOf(const std::vector<QString>& values) {
    TGeoFenceList table{};
    for (int i = 0; i < kGeoFenceCount; ++i) {
        table[i].ID = i + 1;
    }
    for (const QString& value : values) {
        const TGeoFence fence = TFenceExchange::FromDeviceValue(value);
        table[fence.ID - 1] = fence;
    }
    return table;
}

std::vector<QString> DeviceValuesOf(const std::vector<TGeoFence>& fences) {
    std::vector<QString> values;
    for (const TGeoFence& fence : fences) {
        values.push_back(TFenceExchange::DeviceValue(fence));
    }
    return values;
}

QByteArray Exported(const TGeoFenceList& table,
                    TFenceExchange::TFormat format = TFenceExchange::TFormat::GeoJson) {
    const TFenceExport exported = TFenceExchange::Export(table, format);
    EXPECT_EQ(exported.Error, QString());
    return exported.Bytes;
}

QByteArray Collection(const QList<QByteArray>& features) {
    return R"({"type":"FeatureCollection","features":[)" + features.join(',') + "]}";
}

QByteArray Feature(const QByteArray& geometry, const QByteArray& properties = "{}") {
    return R"({"type":"Feature","properties":)" + properties + R"(,"geometry":)" + geometry + "}";
}

QByteArray Polygon(double west, double south, double east, double north) {
    return QStringLiteral(
               R"({"type":"Polygon","coordinates":[[[%1,%2],[%3,%2],[%3,%4],[%1,%4],[%1,%2]]]})")
        .arg(west)
        .arg(south)
        .arg(east)
        .arg(north)
        .toUtf8();
}

QByteArray Kml(const QByteArray& placemarks) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<kml xmlns="http://www.opengis.net/kml/2.2"><Document><name>Plan</name><Folder>)" +
           placemarks + "</Folder></Document></kml>";
}

QByteArray Placemark(const QByteArray& name, const QByteArray& geometry,
                     const QByteArray& extra = {}) {
    return "<Placemark><name>" + name + "</name>" + extra + geometry + "</Placemark>";
}

// A fence's value as Write Selected Geo-fence sends it.
QString Written(const TGeoFence& fence) {
    return QStringList{QString::number(fence.ID),           DegreesToCoord(3, fence.LTLongitude),
                       DegreesToCoord(2, fence.LTLatitude), DegreesToCoord(3, fence.RBLongitude),
                       DegreesToCoord(2, fence.RBLatitude), fence.Name}
        .join(',');
}

// West, south, east, north of an imported fence.
std::vector<double> Corners(const TGeoFence& fence) {
    return {fence.LTLongitude, fence.RBLatitude, fence.RBLongitude, fence.LTLatitude};
}

} // namespace

TEST(FenceExchange, GeoJsonRoundTripGivesTheDeviceValuesBack) {
    const TGeoFenceList table =
        TableOf({kDeviceValues[0], kDeviceValues[1], kDeviceValues[2], kDeviceValues[3]});
    const TFenceImport back = TFenceExchange::FromBytes(Exported(table));
    ASSERT_EQ(back.Error, QString());
    EXPECT_EQ(DeviceValuesOf(back.Fences),
              (std::vector<QString>{kDeviceValues[0], kDeviceValues[1], kDeviceValues[2],
                                    kDeviceValues[3]}));
    // The window's records too: the degrees a read of the device shows, to the millionth, and
    // what Write Selected Geo-fence sends is the device's value again.
    for (const TGeoFence& fence : back.Fences) {
        const TGeoFence& before = table[fence.ID - 1];
        for (int corner = 0; corner < 4; ++corner) {
            EXPECT_NEAR(Corners(fence)[corner], Corners(before)[corner], 5e-7) << fence.ID;
        }
        EXPECT_EQ(Written(fence), TFenceExchange::DeviceValue(before));
        EXPECT_EQ(fence.Name, before.Name);
    }
    EXPECT_EQ(Corners(back.Fences[0])[0], CoordToDegrees("11354.0000")); // as read
}

TEST(FenceExchange, EveryDeviceStepSurvivesExportAndImport) {
    // Steps across whole minutes and degrees, both signs, latitudes and longitudes; each
    // fence one step wide and high.
    const auto coord = [](qint64 steps) { return TFenceExchange::DeviceCoord(steps / 600000.0); };
    for (qint64 step = 1; step < 108000000; step += 7919) {
        const qint64 north = step % 54000000;
        const QString value =
            QStringLiteral("9,%1,%2,%3,%4,P")
                .arg(coord(-step), coord(north), coord(1 - step), coord(north - 1));
        const TFenceImport back = TFenceExchange::FromBytes(Exported(TableOf({value})));
        ASSERT_EQ(back.Fences.size(), 1U) << back.Error.toStdString();
        ASSERT_EQ(TFenceExchange::DeviceValue(back.Fences[0]), value);
        ASSERT_EQ(Written(back.Fences[0]), value);
    }
}

TEST(FenceExchange, ExportWritesSetFencesAsClosedCounterClockwiseRectangles) {
    // Corners given north and south the wrong way round still make the same rectangle.
    TGeoFenceList table = TableOf({kDeviceValues[0]});
    table[2] = {3, QStringLiteral("Flipped"), 113.9, 22.4, 114.1, 22.5};
    table[3] = {4, QStringLiteral("Tiny"), -0.0001, 0.00005, 0.0001, -0.0001};
    const QByteArray text = Exported(table);
    const QJsonDocument document = QJsonDocument::fromJson(text);
    EXPECT_EQ(document["type"].toString(), "FeatureCollection");
    const QJsonArray features = document["features"].toArray();
    ASSERT_EQ(features.size(), 3); // the 61 empty fences stay out
    const QJsonObject flipped = features[1].toObject();
    EXPECT_EQ(flipped["type"].toString(), "Feature");
    EXPECT_EQ(flipped["id"].toInt(), 3);
    EXPECT_EQ(flipped["properties"].toObject(), (QJsonObject{{"id", 3}, {"name", "Flipped"}}));
    EXPECT_EQ(flipped["geometry"]["type"].toString(), "Polygon");
    const QJsonArray ring = flipped["geometry"]["coordinates"][0].toArray();
    const QJsonArray expected = {QJsonArray{113.9, 22.4}, QJsonArray{114.1, 22.4},
                                 QJsonArray{114.1, 22.5}, QJsonArray{113.9, 22.5},
                                 QJsonArray{113.9, 22.4}};
    EXPECT_EQ(ring, expected);
    EXPECT_EQ(features[0]["properties"]["id"].toInt(), 1);
    EXPECT_EQ(features[0]["properties"]["name"].toString(), "HOME");
    // Plain decimals, one fence a line.
    EXPECT_TRUE(text.contains("[[[-0.0001,-0.0001],[0.0001,-0.0001],[0.0001,0.00005],"
                              "[-0.0001,0.00005],[-0.0001,-0.0001]]]"))
        << text.toStdString();
    EXPECT_FALSE(text.contains("e-"));
    EXPECT_EQ(text.count('\n'), 5);

    // A corner no map has is refused, naming the fence.
    table[9] = {10, {}, 113.0, 91.0, 114.0, 22.0};
    const TFenceExport refused = TFenceExchange::Export(table, TFenceExchange::TFormat::Kml);
    EXPECT_EQ(refused.Error, "geo-fence 10: latitude 91 is outside -90 to 90");
    EXPECT_TRUE(refused.Bytes.isEmpty());
}

// A fence whose left top corner lies east of its right bottom one would span the 180°
// meridian, and one without area is no polygon: each is left out with the reason.
TEST(FenceExchange, ExportLeavesOutWhatNoFileCanHoldAndSaysWhy) {
    TGeoFenceList table = TableOf({kDeviceValues[0]});
    table[1] = {2, QStringLiteral("Fiji"), 177.0, -16.0, -178.0, -19.0};
    table[2] = {3, QStringLiteral("Gate"), 10.0, 20.0, 10.0, 20.0};
    table[3] = {4, {}, 10.0, 20.0, 11.0, 20.0};
    for (const auto format : {TFenceExchange::TFormat::GeoJson, TFenceExchange::TFormat::Kml,
                              TFenceExchange::TFormat::Kmz}) {
        const TFenceExport exported = TFenceExchange::Export(table, format);
        EXPECT_EQ(exported.Error, QString());
        EXPECT_EQ(exported.Numbers, std::vector<int>{1});
        EXPECT_EQ(exported.LeftOut,
                  (QStringList{"geo-fence 2 \"Fiji\": its left top corner lies east of its right "
                               "bottom corner, across the 180° meridian",
                               "geo-fence 3 \"Gate\": it has no area, and GIS files take no such "
                               "polygon",
                               "geo-fence 4: it has no area, and GIS files take no such polygon"}));
        EXPECT_EQ(TFenceExchange::FromBytes(exported.Bytes).Numbers(), std::vector<int>{1});
    }
    table[0] = TGeoFence{1, {}, 0, 0, 0, 0};
    EXPECT_EQ(TFenceExchange::Export(table, TFenceExchange::TFormat::GeoJson).Error,
              "no geo-fence can be written; geo-fence 2 \"Fiji\": its left top corner lies east "
              "of its right bottom corner, across the 180° meridian; geo-fence 3 \"Gate\": it has "
              "no area, and GIS files take no such polygon; geo-fence 4: it has no area, and GIS "
              "files take no such polygon");
}

// Google Earth's forms: KML and KMZ (a zip archive whose first .kml is the document).
TEST(FenceExchange, KmlAndKmzGiveTheDeviceValuesBack) {
    const TGeoFenceList table = TableOf({kDeviceValues[0], kDeviceValues[1], kDeviceValues[3]});
    const std::vector<QString> values = {kDeviceValues[0], kDeviceValues[1], kDeviceValues[3]};
    const QByteArray kml = Exported(table, TFenceExchange::TFormat::Kml);
    EXPECT_TRUE(kml.contains("<Data name=\"id\">")) << kml.toStdString();
    EXPECT_EQ(DeviceValuesOf(TFenceExchange::FromBytes(kml).Fences), values);
    const QByteArray kmz = Exported(table, TFenceExchange::TFormat::Kmz);
    EXPECT_TRUE(kmz.startsWith("PK\x03\x04"));
    EXPECT_EQ(DeviceValuesOf(TFenceExchange::FromBytes(kmz).Fences), values);

    EXPECT_EQ(TFenceExchange::FormatOf("a/b.KMZ"), TFenceExchange::TFormat::Kmz);
    EXPECT_EQ(TFenceExchange::FormatOf("b.kml"), TFenceExchange::TFormat::Kml);
    EXPECT_EQ(TFenceExchange::FormatOf("b.json"), TFenceExchange::TFormat::GeoJson);
    EXPECT_EQ(TFenceExchange::FormatOf("-"), TFenceExchange::TFormat::GeoJson);

    // Broken archives are refused with the reason.
    for (const auto& [bytes, reason] : std::vector<std::pair<QByteArray, QString>>{
             {kmz.left(kmz.size() / 2), "not a KMZ archive: "},
             {QByteArray("PK\x03\x04") + QByteArray(40, '\0'), "not a KMZ archive: "},
         }) {
        const TFenceImport import = TFenceExchange::FromBytes(bytes);
        EXPECT_TRUE(import.Error.startsWith(reason)) << import.Error.toStdString();
        EXPECT_TRUE(import.Fences.empty());
    }
}

TEST(FenceExchange, EveryGeometryBecomesItsBoundingRectangle) {
    const QByteArray geojson = Collection({
        Feature(R"({"type":"MultiPoint","coordinates":[[113.5,22.25,40],[113.75,22.5]]})"),
        Feature(R"({"type":"LineString","coordinates":[[1,2],[3,-4],[-5,6]]})"),
        Feature(R"({"type":"Polygon","coordinates":[[[10,10],[20,10],[15,30],[10,10]],
                   [[12,12],[13,12],[12,13],[12,12]]]})"),
        Feature(R"({"type":"MultiPolygon","coordinates":[[[[-1,-1],[0,-1],[0,0],[-1,-1]]],
                   [[[5,5],[6,5],[6,7],[5,5]]]]})"),
        Feature(R"({"type":"MultiLineString","coordinates":[[[1,1],[2,2]],[[-3,3],[4,-4]]]})"),
    });
    const TFenceImport import = TFenceExchange::FromBytes(geojson);
    ASSERT_EQ(import.Error, QString());
    const std::vector<std::vector<double>> expected = {
        {113.5, 22.25, 113.75, 22.5},
        {-5, -4, 3, 6},
        {10, 10, 20, 30},
        {-1, -1, 6, 7},
        {-3, -4, 4, 3},
    };
    ASSERT_EQ(import.Fences.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_THAT(Corners(import.Fences[i]), Pointwise(DoubleEq(), expected[i])) << i;
    }
    EXPECT_EQ(import.Numbers(), (std::vector<int>{1, 2, 3, 4, 5}));

    // A single Feature, and a bare geometry, are one fence each.
    EXPECT_EQ(TFenceExchange::FromBytes(Feature(Polygon(1, 2, 3, 4), R"({"id":9,"name":"Nine"})"))
                  .Numbers(),
              std::vector<int>{9});
    const TFenceImport bare = TFenceExchange::FromBytes(Polygon(1, 2, 3, 4));
    ASSERT_EQ(bare.Fences.size(), 1U);
    EXPECT_THAT(Corners(bare.Fences[0]), ElementsAre(1, 2, 3, 4));

    const QByteArray kml = Kml(
        Placemark("Road", "<LineString><coordinates>\n  1,2,0 3,-4\t-5,6,100\n"
                          "</coordinates></LineString>") +
        Placemark("Yard", "<Polygon><outerBoundaryIs><LinearRing><coordinates>10,10 20,10 15,30 "
                          "10,10</coordinates></LinearRing></outerBoundaryIs><innerBoundaryIs>"
                          "<LinearRing><coordinates>12,12 13,12 12,12</coordinates>"
                          "</LinearRing></innerBoundaryIs></Polygon>") +
        Placemark("Both", "<MultiGeometry><Point><coordinates>-1,-1</coordinates></Point>"
                          "<LineString><coordinates>5,5 6,7</coordinates></LineString>"
                          "</MultiGeometry>"));
    const TFenceImport fromKml = TFenceExchange::FromBytes(kml);
    ASSERT_EQ(fromKml.Error, QString());
    ASSERT_EQ(fromKml.Fences.size(), 3U);
    EXPECT_THAT(Corners(fromKml.Fences[0]), Pointwise(DoubleEq(), expected[1]));
    EXPECT_THAT(Corners(fromKml.Fences[1]), Pointwise(DoubleEq(), expected[2]));
    EXPECT_THAT(Corners(fromKml.Fences[2]), ElementsAre(-1, -1, 6, 7));
    EXPECT_EQ(fromKml.Fences[1].Name, "Yard");
}

TEST(FenceExchange, KmlOfExportedFencesGivesTheDeviceValuesBack) {
    const TGeoFenceList table = TableOf({kDeviceValues[1], kDeviceValues[3]});
    // Google Earth's form of the rectangles GeoJSON export writes.
    QByteArray placemarks;
    const QJsonArray features = QJsonDocument::fromJson(Exported(table))["features"].toArray();
    for (const QJsonValue& feature : features) {
        QByteArray coordinates;
        for (const QJsonValue& position : feature["geometry"]["coordinates"][0].toArray()) {
            coordinates += QByteArray::number(position[0].toDouble(), 'g', 17) + ',' +
                           QByteArray::number(position[1].toDouble(), 'g', 17) + ",0 ";
        }
        placemarks +=
            Placemark(feature["properties"]["name"].toString().toUtf8(),
                      "<Polygon><outerBoundaryIs><LinearRing><coordinates>" + coordinates +
                          "</coordinates></LinearRing></outerBoundaryIs></Polygon>",
                      "<ExtendedData><Data name=\"id\"><value>" +
                          QByteArray::number(feature["properties"]["id"].toInt()) +
                          "</value></Data></ExtendedData>");
    }
    const TFenceImport back = TFenceExchange::FromBytes(Kml(placemarks));
    ASSERT_EQ(back.Error, QString());
    EXPECT_EQ(DeviceValuesOf(back.Fences),
              (std::vector<QString>{kDeviceValues[1], kDeviceValues[3]}));
}

// The number: an explicit id first, then a name that is a number, then the lowest left; the
// names of "id" and "name" in any case, as GIS tools and Shapefile-style data write them.
TEST(FenceExchange, NumbersAndNamesComeFromWhatGisToolsWrite) {
    const QByteArray square = Polygon(1, 1, 2, 2);
    const QList<QByteArray> features = {
        Feature(square, R"({"name":"no number"})"),       // the lowest free: 2
        Feature(square, R"({"id":5})"),                   // 5
        Feature(square, R"({"id":"7","name":"3"})"),      // the id wins: 7
        Feature(square, R"({"name":" 12 "})"),            // a numeric name: 12
        Feature(square, R"({"ID":3,"NAME":"Upper"})"),    // 3
        Feature(square, R"({"Id":"4","Name":"Gdal"})"),   // 4
        Feature(square, R"({"name":"5"})"),               // 5 is taken: 6
        Feature(square, R"({"id":1,"ID":9,"name":"x"})"), // the exact name first: 1
        Feature(square, "null"),                          // no properties: 8
        // The Feature's own "id" member: a number counts, a text is the file's own business.
        R"({"type":"Feature","id":64,"properties":null,"geometry":)" + square + "}",
        R"({"type":"Feature","id":"way/4711","properties":{},"geometry":)" + square + "}",
    };
    const TFenceImport import = TFenceExchange::FromBytes(Collection(features));
    ASSERT_EQ(import.Error, QString());
    EXPECT_EQ(import.Numbers(), (std::vector<int>{2, 5, 7, 12, 3, 4, 6, 1, 8, 64, 9}));
    EXPECT_EQ(import.Fences[4].Name, "Upper");
    EXPECT_EQ(import.Fences[5].Name, "Gdal");

    // KML: the Placemark's name, or an id in its ExtendedData, whose displayName is a label.
    const QByteArray box = "<Polygon><outerBoundaryIs><LinearRing><coordinates>1,1 2,1 2,2 1,1"
                           "</coordinates></LinearRing></outerBoundaryIs></Polygon>";
    const TFenceImport kml = TFenceExchange::FromBytes(
        Kml(Placemark("30", box) + Placemark("Depot", box) +
            Placemark("Shop", box,
                      "<ExtendedData><SchemaData schemaUrl=\"#s\"><SimpleData name=\"ID\">31"
                      "</SimpleData></SchemaData></ExtendedData>") +
            Placemark("Farm", box,
                      "<ExtendedData><Data name=\"id\"><displayName>Fence number</displayName>"
                      "<value>17</value></Data></ExtendedData>") +
            "<Placemark><ExtendedData><SchemaData><SimpleData name=\"NAME\">Schema</SimpleData>"
            "</SchemaData></ExtendedData>" +
            box + "</Placemark>"));
    ASSERT_EQ(kml.Error, QString());
    EXPECT_EQ(kml.Numbers(), (std::vector<int>{30, 1, 31, 17, 2}));
    EXPECT_EQ(kml.Fences[4].Name, "Schema");
}

TEST(FenceExchange, NamesLoseWhatTheDeviceCannotTakeAndAreCutToTwentyCharacters) {
    const QByteArray square = Polygon(1, 1, 2, 2);
    const TFenceImport import = TFenceExchange::FromBytes(Collection({
        Feature(square, R"({"name":"Ho,me (North)!"})"),
        Feature(square, R"({"name":"A very long fence name indeed"})"),
        Feature(square, R"({"name":"(,,,,,),,,,,,,,,,,,,,,!Gate"})"),
        Feature(square, "{\"name\":\"  two\\nlines\\there \"}"),
        Feature(square, R"({"name":"Café \u5317\u4eac ✓"})"),
        Feature(square, R"({"name":42.5})"),
        Feature(square, R"({"name":"C1\u0085\u0080\u009fgone\u007f\u0000"})"),
    }));
    ASSERT_EQ(import.Error, QString());
    QStringList names;
    for (const TGeoFence& fence : import.Fences) {
        names.append(fence.Name);
    }
    EXPECT_EQ(names, (QStringList{"Home North", "A very long fence na", "Gate", "two lines here",
                                  QString::fromUtf8("Café"), "42.5", "C1gone"}));
    // The same rule as a typed name.
    EXPECT_EQ(TGeoFence::SendableName(QString::fromUtf8("Ho,me (North)!\u0085\x07")), "Home North");
}

// A feature without a geometry (RFC 7946 allows a null one; a KML Placemark may be a note) is
// no fence: skipped and listed, the others numbered as usual.
TEST(FenceExchange, FeaturesWithoutGeometryAreSkippedAndListed) {
    const TFenceImport geojson = TFenceExchange::FromBytes(Collection({
        Feature("null", R"({"name":"Nowhere","id":5})"),
        Feature(Polygon(1, 1, 2, 2), R"({"id":5})"),
        Feature(R"({"type":"Polygon","coordinates":[]})"),
    }));
    ASSERT_EQ(geojson.Error, QString());
    EXPECT_EQ(geojson.Numbers(), std::vector<int>{5});
    EXPECT_EQ(geojson.Skipped, (QStringList{"feature 1 \"Nowhere\"", "feature 3"}));
    const TFenceImport kml = TFenceExchange::FromBytes(
        Kml(Placemark("Note", "") +
            Placemark("Box", "<LineString><coordinates>1,1 2,2</coordinates></LineString>")));
    EXPECT_EQ(kml.Numbers(), std::vector<int>{1});
    EXPECT_EQ(kml.Skipped, QStringList{"feature 1 \"Note\""});
}

// One rule a row: the file is refused whole, naming the feature and the reason.
TEST(FenceExchange, RefusalsSayWhichFeatureAndWhyAndGiveNoFence) {
    QList<QByteArray> many;
    QByteArray manyPlacemarks;
    for (int i = 0; i < 65; ++i) {
        many.append(Feature(Polygon(1, 1, 2, 2)));
        manyPlacemarks += Placemark("P", "<LineString><coordinates>1,1 2,2</coordinates>"
                                         "</LineString>");
    }
    const QByteArray crs = R"({"type":"FeatureCollection","crs":{"type":"name","properties":
        {"name":"urn:ogc:def:crs:EPSG::4807"}},"features":[)" +
                           Feature(Polygon(8.9, 51.1, 11.1, 53.3)) + "]}";
    const QString crossing = "it crosses the 180° meridian, which a geo-fence cannot: the device's "
                             "rectangle would go the other way round the world";
    const QString noArea =
        "it has no area (a point, or points on one line); a geo-fence is a rectangle";
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {Collection(many), "the file holds 65 features; the device takes at most 64 geo-fences"},
        {Kml(manyPlacemarks),
         "the file holds more than 64 Placemarks; the device takes at most 64 geo-fences"},
        // Off the globe, or in another reference system.
        {Collection(
             {Feature(Polygon(1, 1, 2, 2)), Feature(Polygon(1, 1, 2, 91), R"({"name":"Pole"})")}),
         "feature 2 \"Pole\": latitude 91 is outside -90 to 90"},
        {Collection({Feature(R"({"type":"Point","coordinates":[-181,0]})")}),
         "feature 1: longitude -181 is outside -180 to 180"},
        {Kml(Placemark("Far", "<Point><coordinates>-181,10</coordinates></Point>")),
         "feature 1 \"Far\" (line 2): longitude -181 is outside -180 to 180"},
        {Kml(Placemark("Up", "<Point><coordinates>10,90.5</coordinates></Point>")),
         "feature 1 \"Up\" (line 2): latitude 90.5 is outside -90 to 90"},
        {Collection({Feature(R"({"type":"Point","coordinates":[1113194.9,6003499.87]})")}),
         "feature 1: latitude 6003499.87 is outside -90 to 90 (a projected coordinate, not "
         "degrees: export the file in WGS 84 longitude/latitude, EPSG:4326)"},
        {crs, "its positions are in the reference system urn:ogc:def:crs:EPSG::4807, not in WGS "
              "84 longitude/latitude; export the file as GeoJSON in WGS 84 (EPSG:4326, as RFC "
              "7946 GeoJSON is) and import that"},
        {R"({"type":"Feature","crs":{"type":"EPSG","properties":{"code":3857}},"geometry":null})",
         "its positions are in the reference system EPSG:3857, not in WGS 84 "
         "longitude/latitude; export the file as GeoJSON in WGS 84 (EPSG:4326, as RFC 7946 "
         "GeoJSON is) and import that"},
        // Across the 180° meridian: as GDAL splits it, by its bounding box, by a line.
        {Collection({Feature(R"({"type":"MultiPolygon","coordinates":[
            [[[177,-19],[180,-19],[180,-16],[177,-16],[177,-19]]],
            [[[-180,-19],[-178,-19],[-178,-16],[-180,-16],[-180,-19]]]]})",
                             R"({"name":"Fiji"})")}),
         "feature 1 \"Fiji\": " + crossing},
        {Collection({R"({"type":"Feature","bbox":[178,-20,-178,-15],"properties":{},
            "geometry":{"type":"Polygon","coordinates":[[[178,-20],[179,-20],[179,-15],
            [178,-20]]]}})"}),
         "feature 1: " + crossing},
        {Collection({Feature(R"({"type":"LineString","coordinates":[[179.5,1],[-179.5,2]]})")}),
         "feature 1: " + crossing},
        {Kml(Placemark("Date line", "<LineString><coordinates>179.5,1 -179.5,2</coordinates>"
                                    "</LineString>")),
         "feature 1 \"Date line\": " + crossing},
        // No area.
        {Collection(
             {Feature(R"({"type":"Point","coordinates":[113.5,22.25]})", R"({"name":"Gate"})")}),
         "feature 1 \"Gate\": " + noArea},
        {Collection({Feature(R"({"type":"LineString","coordinates":[[1,2],[5,2]]})")}),
         "feature 1: " + noArea},
        {Kml(Placemark("Pin", "<Point><coordinates>2.2945,48.8584</coordinates></Point>")),
         "feature 1 \"Pin\": " + noArea},
        {Collection({Feature(R"({"type":"Point","coordinates":[0,0]})")}), "feature 1: " + noArea},
        // Numbers that are no fence numbers, or claimed twice.
        {Collection({Feature(Polygon(1, 1, 2, 2), R"({"id":0})")}),
         "feature 1: its id \"0\" is no geo-fence number (1 to 64)"},
        {Collection({Feature(Polygon(1, 1, 2, 2)), Feature(Polygon(1, 1, 2, 2), R"({"ID":99})")}),
         "feature 2: its id \"99\" is no geo-fence number (1 to 64)"},
        {Collection({Feature(Polygon(1, 1, 2, 2), R"({"id":2.5})")}),
         "feature 1: its id \"2.5\" is no geo-fence number (1 to 64)"},
        {R"({"type":"Feature","id":65,"properties":{},"geometry":)" + Polygon(1, 1, 2, 2) + "}",
         "feature 1: its id \"65\" is no geo-fence number (1 to 64)"},
        {Collection({Feature(Polygon(1, 1, 2, 2), R"({"id":5,"name":"A"})"),
                     Feature(Polygon(3, 3, 4, 4), R"({"name":"C"})"),
                     Feature(Polygon(1, 1, 2, 2), R"({"Id":"5","name":"B"})")}),
         "feature 1 \"A\" and feature 3 \"B\" both claim geo-fence 5"},
        {Kml(Placemark("Farm", "<LineString><coordinates>1,1 2,2</coordinates></LineString>",
                       "<ExtendedData><Data name=\"id\"><displayName>Fence number</displayName>"
                       "<value>99</value></Data></ExtendedData>")),
         "feature 1 \"Farm\": its id \"99\" is no geo-fence number (1 to 64)"},
        // Not a file of fences.
        {Collection(
             {Feature(R"({"type":"GeometryCollection","geometries":[]})", R"({"name":"Mixed"})")}),
         "feature 1 \"Mixed\": its geometry \"GeometryCollection\" is not supported (Point, "
         "LineString, Polygon or one of their Multi forms)"},
        {Kml(Placemark("Car", "<gx:Track xmlns:gx=\"http://www.google.com/kml/ext/2.2\">"
                              "<gx:coord>1 2 0</gx:coord></gx:Track>")),
         "feature 1 \"Car\" (line 2): its geometry Track is not supported (Point, LineString or "
         "Polygon)"},
        {Collection({Feature("null", R"({"name":"Nowhere"})")}),
         "no feature of the file has a geometry"},
        {Collection({Feature("7", R"({"name":"Seven"})")}),
         "feature 1 \"Seven\": it has no geometry"},
        {Collection({Feature(R"({"type":"Point","coordinates":["1","2"]})")}),
         "feature 1: a position is not [longitude, latitude]"},
        {Collection({Feature(R"({"type":"Polygon","coordinates":[[1,2]]})")}),
         "feature 1: a position is not [longitude, latitude]"},
        {Collection({Feature(R"({"type":"Polygon","coordinates":[1,2]})")}),
         "feature 1: its coordinates are not arrays of the geometry's depth"},
        {Kml(Placemark("Odd", "<Point><coordinates>1;2</coordinates></Point>")),
         "feature 1 \"Odd\" (line 2): \"1;2\" is not \"longitude,latitude[,altitude]\""},
        {Collection({R"({"type":"Point"})"}), "feature 1 is not a Feature"},
        {R"({"type":"FeatureCollection","features":[]})", "the file holds no feature"},
        {R"({"type":"FeatureCollection"})", "the FeatureCollection has no \"features\" list"},
        {R"({"type":"FeatureCollection","features":[)",
         "not valid JSON: unterminated array at byte 40"},
        {"[1,2]", "neither GeoJSON, KML nor KMZ"},
        {R"({"name":"x"})", "not GeoJSON: the text is no object with a \"type\""},
        {"<kml><Placemark><name>A</name>", "not well-formed XML: Premature end of document. "
                                           "(line 1)"},
        {"<gpx></gpx>", "not KML: the document is <gpx>"},
        {"", "neither GeoJSON, KML nor KMZ"},
    };
    for (const auto& [bytes, reason] : cases) {
        const TFenceImport import = TFenceExchange::FromBytes(bytes);
        EXPECT_EQ(import.Error, reason) << bytes.left(120).toStdString();
        EXPECT_TRUE(import.Fences.empty());
    }
    // WGS 84 longitude/latitude named as GDAL writes it is fine.
    QByteArray lonLat = crs;
    lonLat.replace("urn:ogc:def:crs:EPSG::4807", "urn:ogc:def:crs:OGC:1.3:CRS84");
    EXPECT_EQ(TFenceExchange::FromBytes(lonLat).Error, QString());
}

TEST(FenceExchange, FilesAreReadAndWrittenWholeOrNotAtAll) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("fences.geojson");
    TGeoFenceList table = TableOf({kDeviceValues[0], kDeviceValues[1]});
    ASSERT_EQ(TFenceExchange::ExportFile(path, table).Error, QString());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    file.close();
    EXPECT_EQ(written, Exported(table));
    EXPECT_EQ(DeviceValuesOf(TFenceExchange::ImportFile(path).Fences),
              (std::vector<QString>{kDeviceValues[0], kDeviceValues[1]}));

    // A refused export leaves the old file as it was.
    table[3] = {4, {}, 200.0, 10.0, 201.0, 9.0};
    EXPECT_EQ(TFenceExchange::ExportFile(path, table).Error,
              QDir::toNativeSeparators(path) +
                  " was not written: geo-fence 4: longitude 200 is outside -180 to 180");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), written);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"fences.geojson"});

    const TFenceImport missing = TFenceExchange::ImportFile(folder.filePath("none.kml"));
    EXPECT_TRUE(missing.Fences.empty());
    EXPECT_TRUE(missing.Error.startsWith("Cannot read " +
                                         QDir::toNativeSeparators(folder.filePath("none.kml"))))
        << missing.Error.toStdString();
}
