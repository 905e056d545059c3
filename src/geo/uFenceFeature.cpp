#include "uFenceFeature.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kHalfGlobe = 180.0;
// Beyond a full turn a number is no angle in degrees: metres or feet of a projection.
constexpr double kFullTurn = 360.0;

QString Projected(double value) {
    return std::fabs(value) > kFullTurn
               ? QStringLiteral(" (a projected coordinate, not degrees: export the file in WGS 84 "
                                "longitude/latitude, EPSG:4326)")
               : QString();
}

} // namespace

void TFenceFeature::TBounds::Add(double longitude, double latitude) {
    West = std::min(West, longitude);
    East = std::max(East, longitude);
    South = std::min(South, latitude);
    North = std::max(North, latitude);
}

QString TFenceFeature::Label(qsizetype index) const {
    const QString label = QStringLiteral("feature %1").arg(index + 1);
    return Name.isEmpty() ? label : QStringLiteral("%1 \"%2\"").arg(label, Name);
}

std::optional<QString> TFenceFeature::AddPosition(double longitude, double latitude,
                                                  bool joinedToLast) {
    if (auto fault = CheckFencePosition(longitude, latitude)) {
        return fault;
    }
    if (joinedToLast && std::fabs(longitude - FLastLongitude) > kHalfGlobe) {
        CrossesAntimeridian = true;
    }
    FAtEast180 = FAtEast180 || longitude == kHalfGlobe;
    FAtWest180 = FAtWest180 || longitude == -kHalfGlobe;
    FLastLongitude = longitude;
    Bounds.Add(longitude, latitude);
    return std::nullopt;
}

std::optional<QString> CheckFencePosition(double longitude, double latitude) {
    if (!(latitude >= -90.0 && latitude <= 90.0)) {
        return QStringLiteral("latitude %1 is outside -90 to 90%2")
            .arg(latitude, 0, 'g', 12)
            .arg(Projected(latitude));
    }
    if (!(longitude >= -kHalfGlobe && longitude <= kHalfGlobe)) {
        return QStringLiteral("longitude %1 is outside -180 to 180%2")
            .arg(longitude, 0, 'g', 12)
            .arg(Projected(longitude));
    }
    return std::nullopt;
}

QList<std::pair<double, double>> TFenceOutline::Ring() const {
    if (East - West <= kHalfGlobe) {
        return {{West, South}, {East, South}, {East, North}, {West, North}, {West, South}};
    }
    const double middle = (West + East) / 2;
    return {{West, South},   {middle, South}, {East, South}, {East, North},
            {middle, North}, {West, North},   {West, South}};
}

QString PlainDegrees(double degrees) {
    QString text = QString::number(degrees, 'f', 7);
    while (text.endsWith(QLatin1Char('0'))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}
