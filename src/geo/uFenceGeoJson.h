#pragma once

#include "uFenceFeature.h"

#include <QByteArray>
#include <vector>

// GeoJSON (RFC 7946, longitude before latitude) as geo-fences travel in it.
//
// Read: a FeatureCollection, a Feature or a bare geometry; Point, MultiPoint, LineString,
// MultiLineString, Polygon and MultiPolygon. Property names are matched without regard to case
// ("id", "ID", "Name"); a Feature's own "id" member counts when it is a number. A "crs" member
// other than WGS 84 longitude/latitude refuses the file, as does a position off the globe.
//
// Write: a FeatureCollection, one Feature a line, each a closed counter-clockwise Polygon with
// the fence number as its "id" member and the properties "id" and "name".
class TFenceGeoJson {
public:
    // The file's features in file order; the reason when the file is refused.
    static std::optional<QString> Read(const QByteArray& bytes,
                                       std::vector<TFenceFeature>& features);
    static QByteArray Write(const std::vector<TFenceOutline>& fences);
};
