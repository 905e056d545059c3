#include "uFenceExchange.h"

#include "uAtomicFile.h"
#include "uNumbers.h"
#include "uUtils.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// The device keeps minutes with four decimals: 600,000 steps to a degree.
constexpr double kStepsPerDegree = 600000.0;
constexpr qint64 kStepsPerMinute = 10000;
constexpr qint64 kStepsPerWholeDegree = 600000;
// Seven decimals of a degree tell every device step apart.
constexpr double kExportScale = 1e7;
// Far more than 64 detailed outlines; a larger file is no fence file.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

QString Text(const char* text) {
    return QString::fromLatin1(text);
}

// The nearest device step of an angle's size; what is no coordinate counts as 0.
qint64 DeviceSteps(double degrees) {
    if (!std::isfinite(degrees) || std::fabs(degrees) > 360.0) {
        return 0; // callers check the range first
    }
    return std::llround(std::fabs(degrees) * kStepsPerDegree);
}

// The rectangle around everything added so far.
struct TBounds {
    double West = std::numeric_limits<double>::infinity();
    double South = std::numeric_limits<double>::infinity();
    double East = -std::numeric_limits<double>::infinity();
    double North = -std::numeric_limits<double>::infinity();

    bool Empty() const { return West > East; }
    void Add(double longitude, double latitude) {
        West = std::min(West, longitude);
        East = std::max(East, longitude);
        South = std::min(South, latitude);
        North = std::max(North, latitude);
    }
};

// One feature of a file as read, before it gets its number.
struct TFeature {
    QString Name;
    QString IdText; // the "id" it carries, as text; empty when it has none
    TBounds Bounds;
};

std::optional<QString> CheckPosition(double longitude, double latitude) {
    if (!(latitude >= -90.0 && latitude <= 90.0)) {
        return QStringLiteral("latitude %1 is outside -90 to 90").arg(latitude, 0, 'g', 12);
    }
    if (!(longitude >= -180.0 && longitude <= 180.0)) {
        return QStringLiteral("longitude %1 is outside -180 to 180").arg(longitude, 0, 'g', 12);
    }
    return std::nullopt;
}

// "feature 3" or "feature 3 "Home"", for messages.
QString FeatureLabel(qsizetype index, const QString& name) {
    const QString label = QStringLiteral("feature %1").arg(index + 1);
    return name.isEmpty() ? label : QStringLiteral("%1 \"%2\"").arg(label, name);
}

// A fence number given as text: digits only (blanks around them allowed), 1 to 64.
std::optional<int> FenceNumber(const QString& text) {
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 2 ||
        !std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c.isDigit(); })) {
        return std::nullopt;
    }
    const int number = digits.toInt();
    return number >= 1 && number <= kGeoFenceCount ? std::optional(number) : std::nullopt;
}

// Line breaks and runs of blanks become one blank; what is left after the cut ends in none.
QString DeviceName(const QString& name) {
    QString kept = name;
    for (const QChar lineBreak : {QChar(u'\t'), QChar(u'\n'), QChar(u'\r')}) {
        kept.replace(lineBreak, QLatin1Char(' '));
    }
    return TGeoFence::SendableName(kept).simplified().left(kGeoFenceNameLength).trimmed();
}

// A corner as the table keeps it: the degrees a read of the device value shows, which Write
// Selected Geo-fence sends as that very value again.
double AtDevicePrecision(double degrees) {
    return CoordToDegrees(TFenceExchange::DeviceCoord(degrees));
}

// The numbers the features take, and their fences.
TFenceImport NumberFences(const std::vector<TFeature>& features) {
    TFenceImport result;
    std::array<bool, kGeoFenceCount> taken{};
    std::vector<int> numbers(features.size(), 0);
    for (std::size_t i = 0; i < features.size(); ++i) {
        auto asked = FenceNumber(features[i].IdText);
        if (!asked) {
            asked = FenceNumber(features[i].Name);
        }
        if (asked && !taken[*asked - 1]) {
            numbers[i] = *asked;
            taken[*asked - 1] = true;
        }
    }
    int next = 0;
    for (std::size_t i = 0; i < features.size(); ++i) {
        if (numbers[i] == 0) {
            while (taken[next]) {
                ++next;
            }
            taken[next] = true;
            numbers[i] = next + 1;
        }
    }
    for (std::size_t i = 0; i < features.size(); ++i) {
        const TBounds& bounds = features[i].Bounds;
        TGeoFence fence;
        fence.ID = numbers[i];
        fence.Name = DeviceName(features[i].Name);
        fence.LTLongitude = AtDevicePrecision(bounds.West);
        fence.LTLatitude = AtDevicePrecision(bounds.North);
        fence.RBLongitude = AtDevicePrecision(bounds.East);
        fence.RBLatitude = AtDevicePrecision(bounds.South);
        if (fence.IsEmpty()) {
            return {{},
                    QStringLiteral("%1 lies on 0,0, which the device takes for no fence")
                        .arg(FeatureLabel(qsizetype(i), features[i].Name))};
        }
        result.Fences.push_back(fence);
    }
    return result;
}

std::optional<QString> CheckCount(qsizetype count) {
    if (count == 0) {
        return Text("the file holds no feature");
    }
    if (count > kGeoFenceCount) {
        return QStringLiteral("the file holds %1 features; the device takes at most %2 geo-fences")
            .arg(count)
            .arg(kGeoFenceCount);
    }
    return std::nullopt;
}

// ---- GeoJSON

// How deep each geometry nests its positions.
struct TGeometryKind {
    const char* Type;
    int Depth;
};
constexpr std::array<TGeometryKind, 6> kGeometryKinds = {{
    {"Point", 0},
    {"MultiPoint", 1},
    {"LineString", 1},
    {"MultiLineString", 2},
    {"Polygon", 2},
    {"MultiPolygon", 3},
}};

std::optional<QString> AddPositions(const QJsonValue& value, int depth, TBounds& bounds) {
    if (!value.isArray()) {
        return Text("its coordinates are not arrays of the geometry's depth");
    }
    const QJsonArray items = value.toArray();
    if (depth > 0) {
        for (const QJsonValue& item : items) {
            if (auto error = AddPositions(item, depth - 1, bounds)) {
                return error;
            }
        }
        return std::nullopt;
    }
    if (items.size() < 2 || !items[0].isDouble() || !items[1].isDouble()) {
        return Text("a position is not [longitude, latitude]");
    }
    const double longitude = items[0].toDouble();
    const double latitude = items[1].toDouble();
    if (auto error = CheckPosition(longitude, latitude)) {
        return error;
    }
    bounds.Add(longitude, latitude);
    return std::nullopt;
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

std::optional<QString> ReadGeometry(const QJsonValue& value, TBounds& bounds) {
    if (!value.isObject()) {
        return Text("it has no geometry");
    }
    const QJsonObject geometry = value.toObject();
    const QString type = geometry.value(QLatin1String("type")).toString();
    const auto kind = std::find_if(kGeometryKinds.begin(), kGeometryKinds.end(),
                                   [&](const TGeometryKind& k) { return type == Text(k.Type); });
    if (kind == kGeometryKinds.end()) {
        return QStringLiteral("its geometry \"%1\" is not supported (Point, LineString, Polygon "
                              "or one of their Multi forms)")
            .arg(type);
    }
    if (auto error =
            AddPositions(geometry.value(QLatin1String("coordinates")), kind->Depth, bounds)) {
        return error;
    }
    if (bounds.Empty()) {
        return Text("its geometry has no position");
    }
    return std::nullopt;
}

std::optional<QString> ReadFeature(const QJsonValue& value, qsizetype index, TFeature& feature) {
    if (!value.isObject() ||
        value.toObject().value(QLatin1String("type")).toString() != QLatin1String("Feature")) {
        return QStringLiteral("%1 is not a Feature").arg(FeatureLabel(index, {}));
    }
    const QJsonObject object = value.toObject();
    const QJsonObject properties = object.value(QLatin1String("properties")).toObject();
    feature.Name = JsonText(properties.value(QLatin1String("name")));
    feature.IdText = JsonText(properties.value(QLatin1String("id")));
    if (feature.IdText.isEmpty()) {
        feature.IdText = JsonText(object.value(QLatin1String("id")));
    }
    if (auto error = ReadGeometry(object.value(QLatin1String("geometry")), feature.Bounds)) {
        return QStringLiteral("%1: %2").arg(FeatureLabel(index, feature.Name), *error);
    }
    return std::nullopt;
}

TFenceImport FromGeoJson(const QByteArray& bytes) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return {{},
                QStringLiteral("not valid JSON: %1 at byte %2")
                    .arg(parseError.errorString())
                    .arg(parseError.offset)};
    }
    const QJsonObject root = document.object();
    const QString type = root.value(QLatin1String("type")).toString();
    if (type.isEmpty()) {
        return {{}, Text("not GeoJSON: the text is no object with a \"type\"")};
    }
    QJsonArray features;
    if (type == QLatin1String("FeatureCollection")) {
        if (!root.value(QLatin1String("features")).isArray()) {
            return {{}, Text("the FeatureCollection has no \"features\" list")};
        }
        features = root.value(QLatin1String("features")).toArray();
    } else if (type == QLatin1String("Feature")) {
        features.append(root);
    } else {
        // A bare geometry is one feature without properties.
        features.append(QJsonObject{{QStringLiteral("type"), QStringLiteral("Feature")},
                                    {QStringLiteral("geometry"), root}});
    }
    if (auto error = CheckCount(features.size())) {
        return {{}, *error};
    }
    std::vector<TFeature> read(std::size_t(features.size()));
    for (qsizetype i = 0; i < features.size(); ++i) {
        if (auto error = ReadFeature(features[i], i, read[std::size_t(i)])) {
            return {{}, *error};
        }
    }
    return NumberFences(read);
}

// ---- KML

// Geometries a Placemark may have that are no outline.
constexpr std::array<const char*, 3> kUnsupportedKml = {"Model", "Track", "MultiTrack"};
constexpr std::array<const char*, 4> kKmlGeometries = {"Point", "LineString", "LinearRing",
                                                       "Polygon"};

bool IsOneOf(QStringView name, const auto& names) {
    return std::any_of(std::begin(names), std::end(names),
                       [&](const char* n) { return name == QLatin1String(n); });
}

// "lon,lat[,alt]" tuples separated by blanks.
std::optional<QString> AddKmlCoordinates(const QString& text, TBounds& bounds) {
    for (const QString& tuple :
         text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        const QStringList parts = tuple.split(QLatin1Char(','));
        const auto longitude =
            parts.size() >= 2 && parts.size() <= 3 ? TextToDouble(parts[0]) : std::nullopt;
        const auto latitude = longitude ? TextToDouble(parts[1]) : std::nullopt;
        if (!latitude) {
            return QStringLiteral("\"%1\" is not \"longitude,latitude[,altitude]\"").arg(tuple);
        }
        if (auto error = CheckPosition(*longitude, *latitude)) {
            return error;
        }
        bounds.Add(*longitude, *latitude);
    }
    return std::nullopt;
}

// Reads the Placemark whose start the reader is on, up to its end.
std::optional<QString> ReadPlacemark(QXmlStreamReader& xml, qsizetype index, TFeature& feature) {
    bool geometry = false;
    int depth = 0; // below the Placemark
    while (xml.readNext() != QXmlStreamReader::Invalid) {
        if (xml.isEndElement()) {
            if (depth-- == 0) {
                break;
            }
            continue;
        }
        if (!xml.isStartElement()) {
            continue;
        }
        ++depth;
        const QStringView name = xml.name();
        const auto fault = [&](const QString& reason) {
            return QStringLiteral("%1 (line %2): %3")
                .arg(FeatureLabel(index, feature.Name))
                .arg(xml.lineNumber())
                .arg(reason);
        };
        if (name == QLatin1String("name") && depth == 1) {
            feature.Name = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            --depth;
        } else if ((name == QLatin1String("Data") || name == QLatin1String("SimpleData")) &&
                   xml.attributes().value(QLatin1String("name")) == QLatin1String("id")) {
            // <Data name="id"><value>5</value></Data> or <SimpleData name="id">5</SimpleData>
            feature.IdText = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            --depth;
        } else if (IsOneOf(name, kUnsupportedKml)) {
            return fault(QStringLiteral("its geometry %1 is not supported (Point, LineString or "
                                        "Polygon)")
                             .arg(name));
        } else if (IsOneOf(name, kKmlGeometries)) {
            geometry = true;
        } else if (name == QLatin1String("coordinates")) {
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            --depth;
            if (auto error = AddKmlCoordinates(text, feature.Bounds)) {
                return fault(*error);
            }
        }
    }
    if (xml.hasError()) {
        return std::nullopt; // the caller reports it with the line
    }
    if (!geometry || feature.Bounds.Empty()) {
        return QStringLiteral("%1: it has no Point, LineString or Polygon with coordinates")
            .arg(FeatureLabel(index, feature.Name));
    }
    return std::nullopt;
}

TFenceImport FromKml(const QByteArray& bytes) {
    QXmlStreamReader xml(bytes);
    std::vector<TFeature> features;
    bool root = true;
    while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::Invalid) {
        if (!xml.isStartElement()) {
            continue;
        }
        if (std::exchange(root, false) && xml.name() != QLatin1String("kml")) {
            return {{}, QStringLiteral("not KML: the document is <%1>").arg(xml.name())};
        }
        if (xml.name() == QLatin1String("Placemark")) {
            if (features.size() == std::size_t(kGeoFenceCount)) {
                return {{},
                        QStringLiteral("the file holds more than %1 Placemarks; the device takes "
                                       "at most %1 geo-fences")
                            .arg(kGeoFenceCount)};
            }
            TFeature& feature = features.emplace_back();
            if (auto error = ReadPlacemark(xml, qsizetype(features.size() - 1), feature)) {
                return {{}, *error};
            }
        }
    }
    if (xml.hasError()) {
        return {{},
                QStringLiteral("not well-formed XML: %1 (line %2)")
                    .arg(xml.errorString())
                    .arg(xml.lineNumber())};
    }
    if (auto error = CheckCount(qsizetype(features.size()))) {
        return {{}, *error};
    }
    return NumberFences(features);
}

} // namespace

std::vector<int> TFenceImport::Numbers() const {
    std::vector<int> numbers;
    for (const TGeoFence& fence : Fences) {
        numbers.push_back(fence.ID);
    }
    return numbers;
}

std::vector<int> TFenceImport::Replacing(const TGeoFenceList& table) const {
    std::vector<int> numbers;
    for (const TGeoFence& fence : Fences) {
        if (!table[fence.ID - 1].IsEmpty()) {
            numbers.push_back(fence.ID);
        }
    }
    return numbers;
}

std::optional<QByteArray> TFenceExchange::ToGeoJson(const TGeoFenceList& fences, QString& error) {
    const auto exported = [](double degrees) {
        const double steps = std::round(degrees * kStepsPerDegree);
        return std::round(steps / kStepsPerDegree * kExportScale) / kExportScale;
    };
    QJsonArray features;
    for (const TGeoFence& fence : fences) {
        if (fence.IsEmpty()) {
            continue;
        }
        for (const auto& [longitude, latitude] : {std::pair{fence.LTLongitude, fence.LTLatitude},
                                                  std::pair{fence.RBLongitude, fence.RBLatitude}}) {
            if (auto fault = CheckPosition(longitude, latitude)) {
                error = QStringLiteral("geo-fence %1: %2").arg(fence.ID).arg(*fault);
                return std::nullopt;
            }
        }
        const double west = exported(std::min(fence.LTLongitude, fence.RBLongitude));
        const double east = exported(std::max(fence.LTLongitude, fence.RBLongitude));
        const double south = exported(std::min(fence.LTLatitude, fence.RBLatitude));
        const double north = exported(std::max(fence.LTLatitude, fence.RBLatitude));
        // Counter-clockwise, back to the start.
        QJsonArray ring;
        for (const auto& [x, y] :
             {std::pair{west, south}, std::pair{east, south}, std::pair{east, north},
              std::pair{west, north}, std::pair{west, south}}) {
            ring.append(QJsonArray{x, y});
        }
        // Appended, not braced: "QJsonArray{ring}" is a copy of the ring for some compilers.
        QJsonArray rings;
        rings.append(ring);
        features.append(QJsonObject{
            {QStringLiteral("type"), QStringLiteral("Feature")},
            {QStringLiteral("properties"),
             QJsonObject{{QStringLiteral("id"), fence.ID}, {QStringLiteral("name"), fence.Name}}},
            {QStringLiteral("geometry"),
             QJsonObject{{QStringLiteral("type"), QStringLiteral("Polygon")},
                         {QStringLiteral("coordinates"), rings}}},
        });
    }
    // One line per fence, so that files compare line by line.
    QByteArrayList lines;
    for (const QJsonValue& feature : std::as_const(features)) {
        lines.append(QJsonDocument(feature.toObject()).toJson(QJsonDocument::Compact));
    }
    return "{\"type\":\"FeatureCollection\",\"features\":[\n" + lines.join(",\n") + "\n]}\n";
}

TFenceImport TFenceExchange::FromBytes(const QByteArray& bytes) {
    QByteArrayView body(bytes);
    if (body.startsWith("\xEF\xBB\xBF")) {
        body = body.sliced(3);
    }
    const QByteArrayView start = body.trimmed();
    if (start.startsWith('{')) {
        return FromGeoJson(body.toByteArray());
    }
    if (start.startsWith('<')) {
        return FromKml(body.toByteArray());
    }
    return {{}, Text("neither GeoJSON nor KML")};
}

std::optional<QString> TFenceExchange::ExportFile(const QString& path,
                                                  const TGeoFenceList& fences) {
    QString error;
    const auto text = ToGeoJson(fences, error);
    if (!text) {
        return QStringLiteral("%1 was not written: %2").arg(QDir::toNativeSeparators(path), error);
    }
    return WriteFileAtomic(path, *text);
}

TFenceImport TFenceExchange::ImportFile(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {{}, QStringLiteral("Cannot read %1: %2").arg(shown, file.errorString())};
    }
    if (file.size() > kMaxFileSize) {
        return {{},
                QStringLiteral("%1: the file is larger than %2 MB")
                    .arg(shown)
                    .arg(kMaxFileSize / (1024 * 1024))};
    }
    TFenceImport result = FromBytes(file.readAll());
    if (!result.Error.isEmpty()) {
        result.Error = QStringLiteral("%1: %2").arg(shown, result.Error);
    }
    return result;
}

QString TFenceExchange::DeviceCoord(double degrees) {
    const qint64 steps = DeviceSteps(degrees);
    const qint64 minutes = steps % kStepsPerWholeDegree;
    QString text = QStringLiteral("%1%2.%3")
                       .arg(steps / kStepsPerWholeDegree)
                       .arg(minutes / kStepsPerMinute, 2, 10, QLatin1Char('0'))
                       .arg(minutes % kStepsPerMinute, 4, 10, QLatin1Char('0'));
    if (degrees < 0 && steps > 0) {
        text.prepend(QLatin1Char('-'));
    }
    return text;
}

QString TFenceExchange::DeviceValue(const TGeoFence& fence) {
    return QStringList{QString::number(fence.ID),     DeviceCoord(fence.LTLongitude),
                       DeviceCoord(fence.LTLatitude), DeviceCoord(fence.RBLongitude),
                       DeviceCoord(fence.RBLatitude), fence.Name}
        .join(QLatin1Char(','));
}

TGeoFence TFenceExchange::FromDeviceValue(const QString& value) {
    const QStringList fields = SplitArgs(value);
    TGeoFence fence;
    fence.ID = fields.value(0).toInt();
    fence.LTLongitude = CoordToDegrees(fields.value(1));
    fence.LTLatitude = CoordToDegrees(fields.value(2));
    fence.RBLongitude = CoordToDegrees(fields.value(3));
    fence.RBLatitude = CoordToDegrees(fields.value(4));
    fence.Name = fields.value(5);
    return fence;
}

QString TFenceExchange::NumberRanges(std::vector<int> numbers) {
    std::sort(numbers.begin(), numbers.end());
    QStringList ranges;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t last = i;
        while (last + 1 < numbers.size() && numbers[last + 1] == numbers[last] + 1) {
            ++last;
        }
        ranges.append(last == i ? QString::number(numbers[i])
                                : QStringLiteral("%1-%2").arg(numbers[i]).arg(numbers[last]));
        i = last + 1;
    }
    return ranges.join(QStringLiteral(", "));
}
