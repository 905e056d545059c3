#include "uFenceKml.h"

#include "uGeoFence.h"
#include "uNumbers.h"

#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <array>
#include <utility>

namespace {

// Geometries a Placemark may have that are no outline.
constexpr std::array<const char*, 3> kUnsupported = {"Model", "Track", "MultiTrack"};
// Those whose coordinates are joined by lines, and the point.
constexpr std::array<const char*, 3> kLines = {"LineString", "LinearRing", "Polygon"};
constexpr std::array<const char*, 4> kGeometries = {"Point", "LineString", "LinearRing", "Polygon"};

bool IsOneOf(QStringView name, const auto& names) {
    return std::any_of(std::begin(names), std::end(names),
                       [&](const char* n) { return name == QLatin1String(n); });
}

bool SameName(QStringView a, const char* b) {
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

// "lon,lat[,alt]" tuples separated by blanks.
std::optional<QString> AddCoordinates(const QString& text, bool joined, TFenceFeature& feature) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    bool first = true;
    for (const QString& tuple : text.split(blanks, Qt::SkipEmptyParts)) {
        const QStringList parts = tuple.split(QLatin1Char(','));
        const auto longitude =
            parts.size() >= 2 && parts.size() <= 3 ? TextToDouble(parts[0]) : std::nullopt;
        const auto latitude = longitude ? TextToDouble(parts[1]) : std::nullopt;
        if (!latitude) {
            return QStringLiteral("\"%1\" is not \"longitude,latitude[,altitude]\"").arg(tuple);
        }
        if (auto error = feature.AddPosition(*longitude, *latitude, joined && !first)) {
            return error;
        }
        first = false;
    }
    return std::nullopt;
}

// The <value> of a <Data> element, whose start the reader is on; its <displayName> is a label.
QString DataValue(QXmlStreamReader& xml) {
    QString value;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("value")) {
            value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else {
            xml.skipCurrentElement();
        }
    }
    return value;
}

// Reads the Placemark whose start the reader is on, up to its end.
std::optional<QString> ReadPlacemark(QXmlStreamReader& xml, qsizetype index,
                                     TFenceFeature& feature) {
    bool geometry = false;
    QString dataName; // a name in its ExtendedData, for a Placemark without <name>
    QString lineKind; // the geometry whose coordinates come next
    int depth = 0;    // below the Placemark
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
                .arg(feature.Label(index))
                .arg(xml.lineNumber())
                .arg(reason);
        };
        const QString key = xml.attributes().value(QLatin1String("name")).toString();
        if (name == QLatin1String("name") && depth == 1) {
            feature.Name = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            --depth;
        } else if (name == QLatin1String("Data") || name == QLatin1String("SimpleData")) {
            const QString value = name == QLatin1String("Data")
                                      ? DataValue(xml)
                                      : xml.readElementText(QXmlStreamReader::IncludeChildElements);
            --depth;
            if (SameName(key, "id")) {
                feature.IdText = value;
                feature.IdIsExplicit = true;
            } else if (SameName(key, "name")) {
                dataName = value;
            }
        } else if (IsOneOf(name, kUnsupported)) {
            return fault(QStringLiteral("its geometry %1 is not supported (Point, LineString or "
                                        "Polygon)")
                             .arg(name));
        } else if (IsOneOf(name, kGeometries)) {
            geometry = true;
            lineKind = name.toString();
        } else if (name == QLatin1String("coordinates")) {
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            --depth;
            if (auto error = AddCoordinates(text, IsOneOf(lineKind, kLines), feature)) {
                return fault(*error);
            }
        }
    }
    if (feature.Name.isEmpty()) {
        feature.Name = dataName;
    }
    // A Placemark may be a label or a note without a place: it is no fence.
    feature.NoGeometry = !geometry || feature.Bounds.Empty();
    return std::nullopt;
}

} // namespace

std::optional<QString> TFenceKml::Read(const QByteArray& bytes,
                                       std::vector<TFenceFeature>& features, QStringList& links) {
    QXmlStreamReader xml(bytes);
    bool root = true;
    // Placemarks with a geometry, those of earlier files of the same archive too.
    auto placed = std::count_if(features.begin(), features.end(),
                                [](const TFenceFeature& f) { return !f.NoGeometry; });
    while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::Invalid) {
        if (!xml.isStartElement()) {
            continue;
        }
        if (std::exchange(root, false) && xml.name() != QLatin1String("kml")) {
            return QStringLiteral("not KML: the document is <%1>").arg(xml.name());
        }
        if (xml.name() == QLatin1String("href")) {
            const QString href = xml.readElementText().trimmed();
            if (href.endsWith(QLatin1String(".kml"), Qt::CaseInsensitive)) {
                links.append(href);
            }
            continue;
        }
        if (xml.name() == QLatin1String("Placemark")) {
            // A file beyond the table's size is refused before it is read to its end.
            if (placed == kGeoFenceCount) {
                return QStringLiteral("the file holds more than %1 Placemarks; the device takes "
                                      "at most %1 geo-fences")
                    .arg(kGeoFenceCount);
            }
            TFenceFeature& feature = features.emplace_back();
            if (auto error = ReadPlacemark(xml, qsizetype(features.size() - 1), feature)) {
                return error;
            }
            placed += feature.NoGeometry ? 0 : 1;
        }
    }
    if (xml.hasError()) {
        return QStringLiteral("not well-formed XML: %1 (line %2)")
            .arg(xml.errorString())
            .arg(xml.lineNumber());
    }
    return std::nullopt;
}

QByteArray TFenceKml::Write(const std::vector<TFenceOutline>& fences) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(QStringLiteral("http://www.opengis.net/kml/2.2"));
    xml.writeStartElement(QStringLiteral("kml"));
    xml.writeStartElement(QStringLiteral("Document"));
    xml.writeTextElement(QStringLiteral("name"), QStringLiteral("Geo-fences"));
    for (const TFenceOutline& fence : fences) {
        xml.writeStartElement(QStringLiteral("Placemark"));
        xml.writeTextElement(QStringLiteral("name"), fence.Name);
        xml.writeStartElement(QStringLiteral("ExtendedData"));
        xml.writeStartElement(QStringLiteral("Data"));
        xml.writeAttribute(QStringLiteral("name"), QStringLiteral("id"));
        xml.writeTextElement(QStringLiteral("value"), QString::number(fence.Number));
        xml.writeEndElement(); // Data
        xml.writeEndElement(); // ExtendedData
        QStringList ring;
        for (const auto& [longitude, latitude] : fence.Ring()) {
            ring.append(PlainDegrees(longitude) + QLatin1Char(',') + PlainDegrees(latitude));
        }
        xml.writeStartElement(QStringLiteral("Polygon"));
        xml.writeStartElement(QStringLiteral("outerBoundaryIs"));
        xml.writeStartElement(QStringLiteral("LinearRing"));
        xml.writeTextElement(QStringLiteral("coordinates"), ring.join(QLatin1Char(' ')));
        xml.writeEndElement(); // LinearRing
        xml.writeEndElement(); // outerBoundaryIs
        xml.writeEndElement(); // Polygon
        xml.writeEndElement(); // Placemark
    }
    xml.writeEndDocument();
    return bytes;
}
