#include "uFenceGeoJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>

namespace {

QString Text(const char* text) {
    return QString::fromLatin1(text);
}

// How deep each geometry nests its positions, and whether its positions are joined by lines.
struct TGeometryKind {
    const char* Type;
    int Depth;
    bool Joined;
};
constexpr std::array<TGeometryKind, 6> kGeometryKinds = {{
    {"Point", 0, false},
    {"MultiPoint", 1, false},
    {"LineString", 1, true},
    {"MultiLineString", 2, true},
    {"Polygon", 2, true},
    {"MultiPolygon", 3, true},
}};

// The names of WGS 84 longitude/latitude, the only reference system a fence file may name.
constexpr std::array<const char*, 7> kLonLatSystems = {
    "urn:ogc:def:crs:OGC:1.3:CRS84",
    "urn:ogc:def:crs:OGC::CRS84",
    "http://www.opengis.net/def/crs/OGC/1.3/CRS84",
    // EPSG:4326 in GeoJSON has always been written longitude first, as GDAL reads it.
    "EPSG:4326",
    "urn:ogc:def:crs:EPSG::4326",
    "urn:ogc:def:crs:EPSG:6.6:4326",
    "http://www.opengis.net/def/crs/EPSG/0/4326",
};

// The reference system a "crs" member names: "name" (2008 GeoJSON), "EPSG" and "link" (older).
QString CrsName(const QJsonObject& crs) {
    const QJsonObject properties = crs.value(QLatin1String("properties")).toObject();
    const QString type = crs.value(QLatin1String("type")).toString();
    if (type == QLatin1String("name")) {
        return properties.value(QLatin1String("name")).toString();
    }
    if (type == QLatin1String("EPSG")) {
        return QStringLiteral("EPSG:%1").arg(properties.value(QLatin1String("code")).toInt());
    }
    if (type == QLatin1String("link")) {
        return properties.value(QLatin1String("href")).toString();
    }
    return QStringLiteral("of type \"%1\"").arg(type);
}

std::optional<QString> CheckCrs(const QJsonObject& object) {
    const QJsonValue crs = object.value(QLatin1String("crs"));
    if (crs.isUndefined() || crs.isNull()) {
        return std::nullopt;
    }
    const QString name = CrsName(crs.toObject()).trimmed();
    if (std::any_of(kLonLatSystems.begin(), kLonLatSystems.end(), [&](const char* known) {
            return name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0;
        })) {
        return std::nullopt;
    }
    return QStringLiteral("its positions are in the reference system %1, not in WGS 84 "
                          "longitude/latitude; export the file as GeoJSON in WGS 84 (EPSG:4326, "
                          "as RFC 7946 GeoJSON is) and import that")
        .arg(name.isEmpty() ? QStringLiteral("(unnamed)") : name);
}

// A member by name without regard to case; the exact lower-case one first.
QJsonValue Member(const QJsonObject& object, const char* name) {
    const QString key = Text(name);
    if (object.contains(key)) {
        return object.value(key);
    }
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key().compare(key, Qt::CaseInsensitive) == 0) {
            return it.value();
        }
    }
    return QJsonValue::Undefined;
}

QString JsonText(const QJsonValue& value) {
    if (value.isString()) {
        return value.toString();
    }
    if (value.isDouble()) {
        return QString::number(value.toDouble(), 'g', 17);
    }
    return {};
}

std::optional<QString> AddPositions(const QJsonValue& value, int depth, bool joined,
                                    TFenceFeature& feature) {
    if (!value.isArray()) {
        return Text("its coordinates are not arrays of the geometry's depth");
    }
    const QJsonArray items = value.toArray();
    if (depth > 1) {
        for (const QJsonValue& item : items) {
            if (auto error = AddPositions(item, depth - 1, joined, feature)) {
                return error;
            }
        }
        return std::nullopt;
    }
    // Depth 1 is one line (or ring, or set of points); depth 0 a single position.
    QJsonArray positions = items;
    if (depth == 0) {
        positions = QJsonArray();
        positions.append(value);
    }
    for (qsizetype i = 0; i < positions.size(); ++i) {
        const QJsonArray position = positions[i].toArray();
        if (position.size() < 2 || !position[0].isDouble() || !position[1].isDouble()) {
            return Text("a position is not [longitude, latitude]");
        }
        if (auto error = feature.AddPosition(position[0].toDouble(), position[1].toDouble(),
                                             joined && i > 0)) {
            return error;
        }
    }
    return std::nullopt;
}

// A "bbox" whose west lies east of its east spans the 180° meridian (RFC 7946, 5.2).
void ReadBoundingBox(const QJsonObject& object, TFenceFeature& feature) {
    const QJsonArray box = object.value(QLatin1String("bbox")).toArray();
    if (box.size() >= 4 && box.size() % 2 == 0 &&
        box[0].toDouble() > box[box.size() / 2].toDouble()) {
        feature.CrossesAntimeridian = true;
    }
}

std::optional<QString> ReadGeometry(const QJsonValue& value, TFenceFeature& feature) {
    if (value.isNull()) {
        feature.NoGeometry = true; // RFC 7946 allows it: a feature without a place
        return std::nullopt;
    }
    if (!value.isObject()) {
        return Text("it has no geometry");
    }
    const QJsonObject geometry = value.toObject();
    if (auto error = CheckCrs(geometry)) {
        return error;
    }
    ReadBoundingBox(geometry, feature);
    const QString type = geometry.value(QLatin1String("type")).toString();
    const auto kind = std::find_if(kGeometryKinds.begin(), kGeometryKinds.end(),
                                   [&](const TGeometryKind& k) { return type == Text(k.Type); });
    if (kind == kGeometryKinds.end()) {
        return QStringLiteral("its geometry \"%1\" is not supported (Point, LineString, Polygon "
                              "or one of their Multi forms)")
            .arg(type);
    }
    if (auto error = AddPositions(geometry.value(QLatin1String("coordinates")), kind->Depth,
                                  kind->Joined, feature)) {
        return error;
    }
    // An empty geometry (RFC 7946 allows that too) has no place either.
    feature.NoGeometry = feature.Bounds.Empty();
    return std::nullopt;
}

std::optional<QString> ReadFeature(const QJsonValue& value, qsizetype index,
                                   TFenceFeature& feature) {
    if (!value.isObject() ||
        value.toObject().value(QLatin1String("type")).toString() != QLatin1String("Feature")) {
        return QStringLiteral("%1 is not a Feature").arg(feature.Label(index));
    }
    const QJsonObject object = value.toObject();
    const QJsonObject properties = object.value(QLatin1String("properties")).toObject();
    feature.Name = JsonText(Member(properties, "name"));
    const QJsonValue id = Member(properties, "id");
    if (!id.isUndefined() && !id.isNull()) {
        feature.IdText = JsonText(id);
        feature.IdIsExplicit = true;
    } else {
        // The Feature's own identifier is its number when it is one; a text such as
        // "way/4711" is the file's own business.
        const QJsonValue own = object.value(QLatin1String("id"));
        const QString text = JsonText(own);
        bool number = false;
        text.toDouble(&number);
        feature.IdText = text;
        feature.IdIsExplicit = number;
    }
    if (auto error = CheckCrs(object)) {
        return QStringLiteral("%1: %2").arg(feature.Label(index), *error);
    }
    ReadBoundingBox(object, feature);
    if (auto error = ReadGeometry(object.value(QLatin1String("geometry")), feature)) {
        return QStringLiteral("%1: %2").arg(feature.Label(index), *error);
    }
    return std::nullopt;
}

// A text as a JSON string, quotes and escapes included.
QByteArray JsonString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

} // namespace

std::optional<QString> TFenceGeoJson::Read(const QByteArray& bytes,
                                           std::vector<TFenceFeature>& features) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return QStringLiteral("not valid JSON: %1 at byte %2")
            .arg(parseError.errorString())
            .arg(parseError.offset);
    }
    const QJsonObject root = document.object();
    const QString type = root.value(QLatin1String("type")).toString();
    if (type.isEmpty()) {
        return Text("not GeoJSON: the text is no object with a \"type\"");
    }
    if (auto error = CheckCrs(root)) {
        return error;
    }
    QJsonArray items;
    if (type == QLatin1String("FeatureCollection")) {
        if (!root.value(QLatin1String("features")).isArray()) {
            return Text("the FeatureCollection has no \"features\" list");
        }
        items = root.value(QLatin1String("features")).toArray();
    } else if (type == QLatin1String("Feature")) {
        items.append(root);
    } else {
        // A bare geometry is one feature without properties.
        items.append(QJsonObject{{QStringLiteral("type"), QStringLiteral("Feature")},
                                 {QStringLiteral("geometry"), root}});
    }
    features.assign(std::size_t(items.size()), TFenceFeature());
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (auto error = ReadFeature(items[i], i, features[std::size_t(i)])) {
            return error;
        }
    }
    return std::nullopt;
}

QByteArray TFenceGeoJson::Write(const std::vector<TFenceOutline>& fences) {
    QByteArrayList lines;
    for (const TFenceOutline& fence : fences) {
        QByteArrayList ring;
        for (const auto& [longitude, latitude] : fence.Ring()) {
            ring.append('[' + PlainDegrees(longitude).toLatin1() + ',' +
                        PlainDegrees(latitude).toLatin1() + ']');
        }
        const QByteArray number = QByteArray::number(fence.Number);
        lines.append(R"({"geometry":{"coordinates":[[)" + ring.join(',') +
                     R"(]],"type":"Polygon"},"id":)" + number + R"(,"properties":{"id":)" + number +
                     R"(,"name":)" + JsonString(fence.Name) + R"(},"type":"Feature"})");
    }
    // One line per fence, so that files compare line by line.
    return "{\"type\":\"FeatureCollection\",\"features\":[\n" + lines.join(",\n") + "\n]}\n";
}
