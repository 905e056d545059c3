#pragma once

#include "uGeoFence.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// What an import would do: the fences a file describes, in the file's order, each with the
// number it takes and its corners at the device's precision; or why the file is refused, and
// then no fence at all.
struct TFenceImport {
    std::vector<TGeoFence> Fences;
    QString Error;
    // The features left out because they have no geometry ("feature 3 "Note"").
    QStringList Skipped;

    // The numbers the fences take.
    std::vector<int> Numbers() const;
    // Those of them that hold a fence in table now.
    std::vector<int> Replacing(const TGeoFenceList& table) const;
};

// What an export writes: the file's bytes, and the fences it leaves out with the reason; or
// why nothing can be written.
struct TFenceExport {
    QByteArray Bytes;
    std::vector<int> Numbers; // the fences written
    QStringList LeftOut;      // "geo-fence 3 "Pier": ..."
    QString Error;
};

// Geo-fences as GIS tools and Google Earth keep them: GeoJSON (TFenceGeoJson), KML
// (TFenceKml) and KMZ (TKmzArchive).
//
// Export writes the fences that are set, each as its rectangle. A fence whose left top corner
// lies east of its right bottom one would span the 180° meridian, and one without area is no
// rectangle: both are left out, with the reason.
//
// Import makes each feature the bounding rectangle of its geometry and refuses the whole file,
// naming the feature and the reason, for a shape across the 180° meridian, one without area,
// a position off the globe or in another reference system, and a number ("id") that is no
// fence number or that two features claim. A feature without a geometry is skipped and
// listed. A feature's number is its "id", else its name when that is a whole number from 1 to
// 64 no other feature takes, else the lowest number left. Names lose "," "(" ")" "!" and what
// no command can carry (control characters included), and are cut to the device's 20
// characters.
//
// Corners travel at the device's precision, a ten-thousandth of a minute, so a file exported
// and imported again gives the same fences.
class TFenceExchange {
public:
    enum class TFormat { GeoJson, Kml, Kmz };
    // By the file's extension: .kml, .kmz, else GeoJSON.
    static TFormat FormatOf(const QString& path);

    static TFenceExport Export(const TGeoFenceList& fences, TFormat format);
    // GeoJSON, KML or KMZ, told apart by their first bytes.
    static TFenceImport FromBytes(const QByteArray& bytes);

    // The same on files ("-": standard output and input), in the format the extension names;
    // the export replaces the file in one step. Errors name the file.
    static TFenceExport ExportFile(const QString& path, const TGeoFenceList& fences);
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
