#pragma once

#include <QList>
#include <QString>
#include <limits>
#include <optional>
#include <utility>

// One feature of a GIS file as its reader found it, before it becomes a geo-fence: what the
// GeoJSON and KML readers share with the numbering of TFenceExchange.
struct TFenceFeature {
    // The rectangle around every position added.
    struct TBounds {
        double West = std::numeric_limits<double>::infinity();
        double South = std::numeric_limits<double>::infinity();
        double East = -std::numeric_limits<double>::infinity();
        double North = -std::numeric_limits<double>::infinity();

        bool Empty() const { return West > East; }
        void Add(double longitude, double latitude);
    };

    QString Name;
    QString IdText;            // the number the file gives it ("id"), as text; empty when none
    bool IdIsExplicit = false; // given as the feature's number, not only as its identifier
    TBounds Bounds;
    bool NoGeometry = false; // a null geometry, or a Placemark without one: skipped
    // Also when the file said so itself (a bounding box whose west lies east of its east).
    bool CrossesAntimeridian = false;

    // "feature 3" or "feature 3 "Home"", for messages; index counts from 0.
    QString Label(qsizetype index) const;

    // Adds one line or ring of positions in order, noting a step across the 180° meridian.
    // Returns the fault of a position off the globe.
    std::optional<QString> AddPosition(double longitude, double latitude, bool joinedToLast);

    // A step of more than half the globe between two joined positions, or parts that end at
    // both sides of the 180° meridian (as GIS tools split a shape there).
    bool Crosses() const { return CrossesAntimeridian || (FAtEast180 && FAtWest180); }

private:
    double FLastLongitude = 0.0;
    bool FAtEast180 = false;
    bool FAtWest180 = false;
};

// A fence as a file keeps it: its rectangle at the device's precision, west to east and south
// to north.
struct TFenceOutline {
    int Number = 0;
    QString Name;
    double West = 0.0;
    double South = 0.0;
    double East = 0.0;
    double North = 0.0;

    // The closed ring of its corners, counter-clockwise as longitude, latitude pairs. A
    // rectangle wider than half the globe gets a corner half-way along its north and south
    // sides, so that no side is read as the short way across the 180° meridian.
    QList<std::pair<double, double>> Ring() const;
};

// Degrees as files show them: a plain decimal with at most seven places ("-0.0001", "113.9"),
// never an exponent.
QString PlainDegrees(double degrees);

// A position's fault, or nullopt when it lies on the globe in WGS 84 degrees.
std::optional<QString> CheckFencePosition(double longitude, double latitude);
