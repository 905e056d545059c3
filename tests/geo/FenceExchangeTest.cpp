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

QByteArray Exported(const TGeoFenceList& table) {
    QString error;
    const auto text = TFenceExchange::ToGeoJson(table, error);
    EXPECT_TRUE(text) << error.toStdString();
    return text.value_or(QByteArray());
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
    // Steps across whole minutes and degrees, both signs, latitudes and longitudes.
    for (qint64 step = 1; step < 108000000; step += 7919) {
        const QString lon = TFenceExchange::DeviceCoord(-double(step) / 600000.0);
        const QString lat = TFenceExchange::DeviceCoord(double(step % 54000000) / 600000.0);
        const QString value = QStringLiteral("9,%1,%2,%1,%2,P").arg(lon, lat);
        const TFenceImport back = TFenceExchange::FromBytes(Exported(TableOf({value})));
        ASSERT_EQ(back.Fences.size(), 1U) << back.Error.toStdString();
        ASSERT_EQ(TFenceExchange::DeviceValue(back.Fences[0]), value);
        ASSERT_EQ(Written(back.Fences[0]), value);
    }
}

TEST(FenceExchange, ExportWritesSetFencesAsClosedCounterClockwiseRectangles) {
    // Corners given the wrong way round still make the same rectangle.
    TGeoFenceList table = TableOf({kDeviceValues[0]});
    table[2] = {3, QStringLiteral("Flipped"), 114.1, 22.4, 113.9, 22.5};
    const QJsonDocument document = QJsonDocument::fromJson(Exported(table));
    EXPECT_EQ(document["type"].toString(), "FeatureCollection");
    const QJsonArray features = document["features"].toArray();
    ASSERT_EQ(features.size(), 2); // the 62 empty fences stay out
    const QJsonObject flipped = features[1].toObject();
    EXPECT_EQ(flipped["type"].toString(), "Feature");
    EXPECT_EQ(flipped["properties"].toObject(), (QJsonObject{{"id", 3}, {"name", "Flipped"}}));
    EXPECT_EQ(flipped["geometry"]["type"].toString(), "Polygon");
    const QJsonArray ring = flipped["geometry"]["coordinates"][0].toArray();
    const QJsonArray expected = {QJsonArray{113.9, 22.4}, QJsonArray{114.1, 22.4},
                                 QJsonArray{114.1, 22.5}, QJsonArray{113.9, 22.5},
                                 QJsonArray{113.9, 22.4}};
    EXPECT_EQ(ring, expected);
    EXPECT_EQ(features[0]["properties"]["id"].toInt(), 1);
    EXPECT_EQ(features[0]["properties"]["name"].toString(), "HOME");

    // A corner no map has is refused, naming the fence.
    table[9] = {10, {}, 113.0, 91.0, 114.0, 22.0};
    QString error;
    EXPECT_FALSE(TFenceExchange::ToGeoJson(table, error));
    EXPECT_EQ(error, "geo-fence 10: latitude 91 is outside -90 to 90");
}

TEST(FenceExchange, EveryGeometryBecomesItsBoundingRectangle) {
    const QByteArray geojson = Collection({
        Feature(R"({"type":"Point","coordinates":[113.5,22.25,40]})"),
        Feature(R"({"type":"LineString","coordinates":[[1,2],[3,-4],[-5,6]]})"),
        Feature(R"({"type":"Polygon","coordinates":[[[10,10],[20,10],[15,30],[10,10]],
                   [[12,12],[13,12],[12,13],[12,12]]]})"),
        Feature(R"({"type":"MultiPolygon","coordinates":[[[[-1,-1],[0,-1],[0,0],[-1,-1]]],
                   [[[5,5],[6,5],[6,7],[5,5]]]]})"),
        Feature(R"({"type":"MultiPoint","coordinates":[[7,8],[9,-10]]})"),
        Feature(R"({"type":"MultiLineString","coordinates":[[[1,1],[2,2]],[[-3,3],[4,-4]]]})"),
    });
    const TFenceImport import = TFenceExchange::FromBytes(geojson);
    ASSERT_EQ(import.Error, QString());
    const std::vector<std::vector<double>> expected = {
        {113.5, 22.25, 113.5, 22.25},
        {-5, -4, 3, 6},
        {10, 10, 20, 30},
        {-1, -1, 6, 7},
        {7, -10, 9, 8},
        {-3, -4, 4, 3},
    };
    ASSERT_EQ(import.Fences.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_THAT(Corners(import.Fences[i]), Pointwise(DoubleEq(), expected[i])) << i;
    }
    EXPECT_EQ(import.Numbers(), (std::vector<int>{1, 2, 3, 4, 5, 6}));

    // A single Feature, and a bare geometry, are one fence each.
    EXPECT_EQ(TFenceExchange::FromBytes(Feature(Polygon(1, 2, 3, 4), R"({"id":9,"name":"Nine"})"))
                  .Numbers(),
              std::vector<int>{9});
    const TFenceImport bare = TFenceExchange::FromBytes(Polygon(1, 2, 3, 4));
    ASSERT_EQ(bare.Fences.size(), 1U);
    EXPECT_THAT(Corners(bare.Fences[0]), ElementsAre(1, 2, 3, 4));

    const QByteArray kml = Kml(
        Placemark("Gate", "<Point><coordinates>113.5,22.25,0</coordinates></Point>") +
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
    ASSERT_EQ(fromKml.Fences.size(), 4U);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_THAT(Corners(fromKml.Fences[i]), Pointwise(DoubleEq(), expected[i])) << i;
    }
    EXPECT_THAT(Corners(fromKml.Fences[3]), ElementsAre(-1, -1, 6, 7));
    EXPECT_EQ(fromKml.Fences[2].Name, "Yard");
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

TEST(FenceExchange, IdOrNumericNamePicksTheNumberOtherwiseTheLowestFreeOne) {
    const QByteArray square = Polygon(1, 1, 2, 2);
    const QList<QByteArray> features = {
        Feature(square, R"({"name":"no number"})"),  // the lowest free: 2
        Feature(square, R"({"id":5})"),              // 5
        Feature(square, R"({"id":"7","name":"3"})"), // the id wins: 7
        Feature(square, R"({"name":" 12 "})"),       // a numeric name: 12
        Feature(square, R"({"id":5})"),              // 5 is taken: 3
        Feature(square, R"({"id":0})"),              // out of range: 6
        Feature(square, R"({"id":65,"name":"4"})"),  // the name then: 4
        Feature(square, R"({"id":"abc"})"),          // 8
        Feature(square, R"({"id":2.5})"),            // 9
        Feature(square, R"({"id":1})"),              // a later explicit 1 keeps it
        // The Feature's own "id" member.
        R"({"type":"Feature","id":64,"properties":null,"geometry":)" + square + "}",
    };
    const TFenceImport import = TFenceExchange::FromBytes(Collection(features));
    ASSERT_EQ(import.Error, QString());
    EXPECT_EQ(import.Numbers(), (std::vector<int>{2, 5, 7, 12, 3, 6, 4, 8, 9, 1, 64}));

    // KML: the Placemark's name, or its ExtendedData id.
    const QByteArray point = "<Point><coordinates>1,1</coordinates></Point>";
    const TFenceImport kml = TFenceExchange::FromBytes(
        Kml(Placemark("30", point) + Placemark("Depot", point) +
            Placemark("Shop", point,
                      "<ExtendedData><SchemaData><SimpleData name=\"id\">30</SimpleData>"
                      "</SchemaData></ExtendedData>") +
            Placemark("Farm", point,
                      "<ExtendedData><Data name=\"id\"><value>40</value></Data></ExtendedData>")));
    ASSERT_EQ(kml.Error, QString());
    EXPECT_EQ(kml.Numbers(), (std::vector<int>{30, 1, 2, 40}));
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
    }));
    ASSERT_EQ(import.Error, QString());
    QStringList names;
    for (const TGeoFence& fence : import.Fences) {
        names.append(fence.Name);
    }
    EXPECT_EQ(names, (QStringList{"Home North", "A very long fence na", "Gate", "two lines here",
                                  QString::fromUtf8("Café"), "42.5"}));
    // The same rule as a typed name.
    EXPECT_EQ(TGeoFence::SendableName(QString::fromUtf8("Ho,me (North)!\u0085\x07")), "Home North");
}

TEST(FenceExchange, RefusalsSayWhichFeatureAndWhyAndGiveNoFence) {
    QList<QByteArray> many;
    QByteArray manyPlacemarks;
    for (int i = 0; i < 65; ++i) {
        many.append(Feature(Polygon(1, 1, 2, 2)));
        manyPlacemarks += Placemark("P", "<Point><coordinates>1,1</coordinates></Point>");
    }
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {Collection(many), "the file holds 65 features; the device takes at most 64 geo-fences"},
        {Kml(manyPlacemarks),
         "the file holds more than 64 Placemarks; the device takes at most 64 geo-fences"},
        {Collection(
             {Feature(Polygon(1, 1, 2, 2)), Feature(Polygon(1, 1, 2, 91), R"({"name":"Pole"})")}),
         "feature 2 \"Pole\": latitude 91 is outside -90 to 90"},
        {Collection({Feature(R"({"type":"Point","coordinates":[-181,0]})")}),
         "feature 1: longitude -181 is outside -180 to 180"},
        {Kml(Placemark("Far", "<Point><coordinates>-181,10</coordinates></Point>")),
         "feature 1 \"Far\" (line 2): longitude -181 is outside -180 to 180"},
        {Kml(Placemark("Up", "<Point><coordinates>10,90.5</coordinates></Point>")),
         "feature 1 \"Up\" (line 2): latitude 90.5 is outside -90 to 90"},
        {Collection(
             {Feature(R"({"type":"GeometryCollection","geometries":[]})", R"({"name":"Mixed"})")}),
         "feature 1 \"Mixed\": its geometry \"GeometryCollection\" is not supported (Point, "
         "LineString, Polygon or one of their Multi forms)"},
        {Kml(Placemark("Car", "<gx:Track xmlns:gx=\"http://www.google.com/kml/ext/2.2\">"
                              "<gx:coord>1 2 0</gx:coord></gx:Track>")),
         "feature 1 \"Car\" (line 2): its geometry Track is not supported (Point, LineString or "
         "Polygon)"},
        {Collection({Feature("null", R"({"name":"Nowhere"})")}),
         "feature 1 \"Nowhere\": it has no geometry"},
        {Kml(Placemark("Label", "")),
         "feature 1 \"Label\": it has no Point, LineString or Polygon with coordinates"},
        {Collection({Feature(R"({"type":"Point","coordinates":["1","2"]})")}),
         "feature 1: a position is not [longitude, latitude]"},
        {Collection({Feature(R"({"type":"Polygon","coordinates":[[1,2]]})")}),
         "feature 1: its coordinates are not arrays of the geometry's depth"},
        {Kml(Placemark("Odd", "<Point><coordinates>1;2</coordinates></Point>")),
         "feature 1 \"Odd\" (line 2): \"1;2\" is not \"longitude,latitude[,altitude]\""},
        {Collection({R"({"type":"Point"})"}), "feature 1 is not a Feature"},
        {Collection({Feature(R"({"type":"Point","coordinates":[0,0]})")}),
         "feature 1 lies on 0,0, which the device takes for no fence"},
        {R"({"type":"FeatureCollection","features":[]})", "the file holds no feature"},
        {R"({"type":"FeatureCollection"})", "the FeatureCollection has no \"features\" list"},
        {R"({"type":"FeatureCollection","features":[)",
         "not valid JSON: unterminated array at byte 40"},
        {"[1,2]", "neither GeoJSON nor KML"},
        {R"({"name":"x"})", "not GeoJSON: the text is no object with a \"type\""},
        {"<kml><Placemark><name>A</name>", "not well-formed XML: Premature end of document. "
                                           "(line 1)"},
        {"<gpx></gpx>", "not KML: the document is <gpx>"},
        {"", "neither GeoJSON nor KML"},
    };
    for (const auto& [bytes, reason] : cases) {
        const TFenceImport import = TFenceExchange::FromBytes(bytes);
        EXPECT_EQ(import.Error, reason) << bytes.left(120).toStdString();
        EXPECT_TRUE(import.Fences.empty());
    }
}

TEST(FenceExchange, FilesAreReadAndWrittenWholeOrNotAtAll) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("fences.geojson");
    TGeoFenceList table = TableOf({kDeviceValues[0], kDeviceValues[1]});
    ASSERT_EQ(TFenceExchange::ExportFile(path, table), std::nullopt);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    file.close();
    EXPECT_EQ(written, Exported(table));
    EXPECT_EQ(DeviceValuesOf(TFenceExchange::ImportFile(path).Fences),
              (std::vector<QString>{kDeviceValues[0], kDeviceValues[1]}));

    // A refused export leaves the old file as it was.
    table[3] = {4, {}, 200.0, 10.0, 201.0, 9.0};
    EXPECT_EQ(TFenceExchange::ExportFile(path, table),
              QDir::toNativeSeparators(path) +
                  " was not written: geo-fence 4: longitude 200 is outside -180 to 180");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), written);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"fences.geojson"});

    const TFenceImport missing = TFenceExchange::ImportFile(folder.filePath("none.kml"));
    EXPECT_TRUE(missing.Fences.empty());
    EXPECT_TRUE(missing.Error.startsWith("Cannot read " +
                                         QDir::toNativeSeparators(folder.filePath("none.kml"))))
        << missing.Error.toStdString();
}
