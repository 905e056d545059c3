#pragma once

#include "uGeoFence.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// What an import would do: the fences a file describes, in the file's order, each with the
// number it takes and its corners at the device's precision; or why the file is refused, and
// then no fence at all.
struct TFenceImport {
    std::vector<TGeoFence> Fences;
    QString Error;

    // The numbers the fences take.
    std::vector<int> Numbers() const;
    // Those of them that hold a fence in table now.
    std::vector<int> Replacing(const TGeoFenceList& table) const;
};

// Geo-fences as GIS tools and Google Earth keep them.
//
// Export writes GeoJSON (RFC 7946, longitude before latitude): a FeatureCollection of the
// fences that are set, each a Polygon rectangle with a closed, counter-clockwise ring and the
// properties "id" (the fence number) and "name".
//
// Import reads GeoJSON (a FeatureCollection, a Feature or a bare geometry; Point, MultiPoint,
// LineString, MultiLineString, Polygon and MultiPolygon) or KML (Placemarks with Point,
// LineString, LinearRing, Polygon or a MultiGeometry of those). Each feature becomes the
// bounding rectangle of its geometry. Its number is the first of its "id" and its name that
// is a whole number from 1 to 64 no earlier feature took, otherwise the lowest number no
// feature takes. Names lose "," "(" ")" "!" and what no command can carry, and are cut to the
// device's 20 characters.
//
// Corners travel at the device's precision, a ten-thousandth of a minute, so a file exported
// and imported again gives the same fences.
class TFenceExchange {
public:
    // The GeoJSON text of the fences that are set; nullopt with the reason in error when a
    // fence has a corner no map has.
    static std::optional<QByteArray> ToGeoJson(const TGeoFenceList& fences, QString& error);
    // GeoJSON or KML, told apart by their first character.
    static TFenceImport FromBytes(const QByteArray& bytes);

    // The same on files; the export replaces the file in one step. Errors name the file.
    [[nodiscard]] static std::optional<QString> ExportFile(const QString& path,
                                                           const TGeoFenceList& fences);
    static TFenceImport ImportFile(const QString& path);

    // An angle as the device's coordinate text ("11354.0000", "-2230.0001"), rounded to the
    // nearest ten-thousandth of a minute.
    static QString DeviceCoord(double degrees);
    // A fence as the device keeps it, the reply's fields from the fence number on:
    // "5,11354.0000,2230.0000,11406.0000,2224.0000,HOME".
    static QString DeviceValue(const TGeoFence& fence);
    // The reverse, with corners in degrees as a reply gives them.
    static TGeoFence FromDeviceValue(const QString& value);

    // Fence numbers for people: "1-3, 7, 9-10".
    static QString NumberRanges(std::vector<int> numbers);
};
