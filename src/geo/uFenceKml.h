#pragma once

#include "uFenceFeature.h"

#include <QByteArray>
#include <QStringList>
#include <vector>

// KML 2.2 as Google Earth and GIS tools keep geo-fences in it.
//
// Read: every Placemark with a Point, LineString, LinearRing, Polygon or a MultiGeometry of
// those; its name is its <name>, its number an "id" in its ExtendedData (<Data name="id">
// with a <value>, its <displayName> aside, or <SimpleData name="id"> of a SchemaData), the
// names matched without regard to case. A Placemark without a geometry is kept as such. The
// .kml files a NetworkLink names are listed, not fetched.
//
// Write: a Document of Placemarks, each with its name, its number as <Data name="id"> and a
// Polygon rectangle.
class TFenceKml {
public:
    // Appends the file's Placemarks to features; links gets the .kml files its NetworkLinks
    // name, as they stand.
    static std::optional<QString> Read(const QByteArray& bytes,
                                       std::vector<TFenceFeature>& features, QStringList& links);
    static QByteArray Write(const std::vector<TFenceOutline>& fences);
};
