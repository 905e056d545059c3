#include "uFenceExchange.h"

#include "uAtomicFile.h"
#include "uFenceFeature.h"
#include "uFenceGeoJson.h"
#include "uFenceKml.h"
#include "uKmzArchive.h"
#include "uUtils.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The device keeps minutes with four decimals: 600,000 steps to a degree.
constexpr double kStepsPerDegree = 600000.0;
constexpr qint64 kStepsPerMinute = 10000;
constexpr qint64 kStepsPerWholeDegree = 600000;
// Seven decimals of a degree tell every device step apart.
constexpr double kExportScale = 1e7;
// Far more than 64 detailed outlines; a larger file is no fence file.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

// The nearest device step of an angle's size; what is no coordinate counts as 0.
qint64 DeviceSteps(double degrees) {
    if (!std::isfinite(degrees) || std::fabs(degrees) > 360.0) {
        return 0; // callers check the range first
    }
    return std::llround(std::fabs(degrees) * kStepsPerDegree);
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

// Degrees as an exported file gives them: the device step's value at seven decimals.
double Exported(double degrees) {
    const double steps = std::round(degrees * kStepsPerDegree);
    return std::round(steps / kStepsPerDegree * kExportScale) / kExportScale;
}

QString FenceLabel(const TGeoFence& fence) {
    const QString label = QStringLiteral("geo-fence %1").arg(fence.ID);
    return fence.Name.isEmpty() ? label : QStringLiteral("%1 \"%2\"").arg(label, fence.Name);
}

using TFeatures = std::vector<TFenceFeature>;

// The fault of a feature as a fence, found before numbers are given.
std::optional<QString> CheckFeature(const TFenceFeature& feature) {
    if (feature.Crosses()) {
        return QStringLiteral("it crosses the 180° meridian, which a geo-fence cannot: the "
                              "device's rectangle would go the other way round the world");
    }
    const TFenceFeature::TBounds& b = feature.Bounds;
    if (TFenceExchange::DeviceCoord(b.West) == TFenceExchange::DeviceCoord(b.East) ||
        TFenceExchange::DeviceCoord(b.South) == TFenceExchange::DeviceCoord(b.North)) {
        return QStringLiteral("it has no area (a point, or points on one line); a geo-fence is "
                              "a rectangle");
    }
    if (feature.IdIsExplicit && !FenceNumber(feature.IdText)) {
        return QStringLiteral("its id \"%1\" is no geo-fence number (1 to %2)")
            .arg(feature.IdText)
            .arg(kGeoFenceCount);
    }
    return std::nullopt;
}

// The numbers the features take, and their fences.
TFenceImport NumberFences(const TFeatures& read) {
    TFenceImport result;
    std::vector<std::size_t> places; // the features with a geometry, by their index in the file
    for (std::size_t i = 0; i < read.size(); ++i) {
        if (read[i].NoGeometry) {
            result.Skipped.append(read[i].Label(qsizetype(i)));
        } else {
            places.push_back(i);
        }
    }
    if (places.empty()) {
        return {{},
                read.empty() ? QStringLiteral("the file holds no feature")
                             : QStringLiteral("no feature of the file has a geometry"),
                {}};
    }
    if (places.size() > std::size_t(kGeoFenceCount)) {
        return {{},
                QStringLiteral("the file holds %1 features; the device takes at most %2 "
                               "geo-fences")
                    .arg(places.size())
                    .arg(kGeoFenceCount),
                {}};
    }
    // Every explicit number first: one that two features claim is refused, naming both.
    std::array<std::size_t, kGeoFenceCount> claimedBy{};
    claimedBy.fill(read.size());
    std::vector<int> numbers(read.size(), 0);
    for (const std::size_t i : places) {
        if (auto fault = CheckFeature(read[i])) {
            return {{}, QStringLiteral("%1: %2").arg(read[i].Label(qsizetype(i)), *fault), {}};
        }
        if (!read[i].IdIsExplicit) {
            continue;
        }
        const int number = *FenceNumber(read[i].IdText);
        if (const std::size_t other = claimedBy[number - 1]; other != read.size()) {
            return {{},
                    QStringLiteral("%1 and %2 both claim geo-fence %3")
                        .arg(read[other].Label(qsizetype(other)), read[i].Label(qsizetype(i)))
                        .arg(number),
                    {}};
        }
        claimedBy[number - 1] = i;
        numbers[i] = number;
    }
    // Then names that are numbers, then the lowest numbers left.
    for (const std::size_t i : places) {
        const auto asked = FenceNumber(read[i].Name);
        if (numbers[i] == 0 && asked && claimedBy[*asked - 1] == read.size()) {
            claimedBy[*asked - 1] = i;
            numbers[i] = *asked;
        }
    }
    int next = 0;
    for (const std::size_t i : places) {
        if (numbers[i] == 0) {
            while (claimedBy[next] != read.size()) {
                ++next;
            }
            claimedBy[next] = i;
            numbers[i] = next + 1;
        }
    }
    for (const std::size_t i : places) {
        const TFenceFeature::TBounds& bounds = read[i].Bounds;
        TGeoFence fence;
        fence.ID = numbers[i];
        fence.Name = DeviceName(read[i].Name);
        fence.LTLongitude = AtDevicePrecision(bounds.West);
        fence.LTLatitude = AtDevicePrecision(bounds.North);
        fence.RBLongitude = AtDevicePrecision(bounds.East);
        fence.RBLatitude = AtDevicePrecision(bounds.South);
        result.Fences.push_back(fence);
    }
    return result;
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

TFenceExchange::TFormat TFenceExchange::FormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("kml")) {
        return TFormat::Kml;
    }
    return suffix == QLatin1String("kmz") ? TFormat::Kmz : TFormat::GeoJson;
}

TFenceExport TFenceExchange::Export(const TGeoFenceList& fences, TFormat format) {
    TFenceExport result;
    std::vector<TFenceOutline> outlines;
    for (const TGeoFence& fence : fences) {
        if (fence.IsEmpty()) {
            continue;
        }
        for (const auto& [longitude, latitude] : {std::pair{fence.LTLongitude, fence.LTLatitude},
                                                  std::pair{fence.RBLongitude, fence.RBLatitude}}) {
            if (auto fault = CheckFencePosition(longitude, latitude)) {
                result.Error = QStringLiteral("geo-fence %1: %2").arg(fence.ID).arg(*fault);
                return result;
            }
        }
        const TFenceOutline outline{fence.ID,
                                    fence.Name,
                                    Exported(fence.LTLongitude),
                                    Exported(std::min(fence.LTLatitude, fence.RBLatitude)),
                                    Exported(fence.RBLongitude),
                                    Exported(std::max(fence.LTLatitude, fence.RBLatitude))};
        if (outline.West > outline.East) {
            // Until it is known how the device takes such a fence, no file claims to know.
            result.LeftOut.append(QStringLiteral("%1: its left top corner lies east of its right "
                                                 "bottom corner, across the 180° meridian")
                                      .arg(FenceLabel(fence)));
        } else if (outline.West == outline.East || outline.South == outline.North) {
            result.LeftOut.append(
                QStringLiteral("%1: it has no area, and GIS files take no such polygon")
                    .arg(FenceLabel(fence)));
        } else {
            outlines.push_back(outline);
            result.Numbers.push_back(fence.ID);
        }
    }
    if (outlines.empty()) {
        result.Error = result.LeftOut.isEmpty() ? QStringLiteral("no geo-fence is set")
                                                : QStringLiteral("no geo-fence can be written; ") +
                                                      result.LeftOut.join(QStringLiteral("; "));
        return result;
    }
    if (format == TFormat::GeoJson) {
        result.Bytes = TFenceGeoJson::Write(outlines);
        return result;
    }
    result.Bytes = TFenceKml::Write(outlines);
    if (format == TFormat::Kmz) {
        const auto packed = TKmzArchive::Pack(result.Bytes, result.Error);
        result.Bytes = packed.value_or(QByteArray());
    }
    return result;
}

TFenceImport TFenceExchange::FromBytes(const QByteArray& bytes) {
    TFeatures features;
    QStringList links;
    std::optional<QString> error;
    if (TKmzArchive::LooksLikeZip(bytes)) {
        // The first .kml, and the files of the archive its links name (GDAL writes a layer a
        // file); what lies outside the archive is not fetched.
        QString name;
        QString reason;
        const auto kml = TKmzArchive::FirstKml(bytes, kMaxFileSize, name, reason);
        error = kml ? TFenceKml::Read(*kml, features, links) : std::optional(reason);
        const QString folder = QFileInfo(name).path();
        QStringList read = {QDir::cleanPath(name)};
        for (const QString& link : std::as_const(links)) {
            const QString path = QDir::cleanPath(folder + QLatin1Char('/') + link);
            if (error || link.contains(QLatin1String("://")) || read.contains(path)) {
                continue;
            }
            read.append(path);
            QStringList more;
            const auto linked = TKmzArchive::File(bytes, path, kMaxFileSize, reason);
            if (linked) {
                error = TFenceKml::Read(*linked, features, more);
            } else if (!reason.isEmpty()) {
                error = reason;
            }
        }
    } else {
        QByteArray body = bytes;
        if (body.startsWith("\xEF\xBB\xBF")) {
            body.remove(0, 3);
        }
        const QByteArray start = body.trimmed();
        if (start.startsWith('{')) {
            error = TFenceGeoJson::Read(body, features);
        } else if (start.startsWith('<')) {
            error = TFenceKml::Read(body, features, links);
        } else {
            error = QStringLiteral("neither GeoJSON, KML nor KMZ");
        }
    }
    if (error) {
        return {{}, *error, {}};
    }
    return NumberFences(features);
}

TFenceExport TFenceExchange::ExportFile(const QString& path, const TGeoFenceList& fences) {
    TFenceExport exported = Export(fences, FormatOf(path));
    if (!exported.Error.isEmpty()) {
        exported.Error = QStringLiteral("%1 was not written: %2")
                             .arg(path == kStandardStream ? QStringLiteral("standard output")
                                                          : QDir::toNativeSeparators(path),
                                  exported.Error);
    } else if (const auto error = WriteFileAtomic(path, exported.Bytes)) {
        exported.Error = *error;
    }
    return exported;
}

TFenceImport TFenceExchange::ImportFile(const QString& path) {
    QString error;
    const auto bytes = ReadWholeFile(path, kMaxFileSize, error);
    if (!bytes) {
        return {{}, error, {}};
    }
    TFenceImport result = FromBytes(*bytes);
    if (!result.Error.isEmpty()) {
        const QString shown = path == kStandardStream ? QStringLiteral("standard input")
                                                      : QDir::toNativeSeparators(path);
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
