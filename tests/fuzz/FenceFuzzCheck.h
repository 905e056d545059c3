#pragma once

// What every geo-fence file the readers take must give, whatever its bytes: at most 64 fences
// with distinct numbers, rectangles with area on the globe, the left top corner north-west of
// the right bottom one, and names the device can take; exported again in each format, they read
// back as the very same device values.
#include "FuzzCheck.h"
#include "uFenceExchange.h"

#include <QRegularExpression>
#include <algorithm>
#include <set>

inline bool FenceOnTheGlobe(double longitude, double latitude) {
    return longitude >= -180.0 && longitude <= 180.0 && latitude >= -90.0 && latitude <= 90.0;
}

inline bool DeviceCanTakeName(const QString& name) {
    static const QRegularExpression separators(QStringLiteral("[,()!]"));
    return name.size() <= kGeoFenceNameLength && !name.contains(separators) &&
           std::all_of(name.cbegin(), name.cend(), [](QChar c) {
               return c.unicode() >= 0x20 && c.unicode() <= 0xFF &&
                      !(c.unicode() >= 0x7F && c.unicode() <= 0x9F);
           });
}

inline void CheckFenceImport(const TFenceImport& import) {
    if (!import.Error.isEmpty()) {
        FUZZ_CHECK(import.Fences.empty());
        return;
    }
    FUZZ_CHECK(!import.Fences.empty() && import.Fences.size() <= std::size_t(kGeoFenceCount));
    TGeoFenceList table{};
    for (int i = 0; i < kGeoFenceCount; ++i) {
        table[i].ID = i + 1;
    }
    std::set<int> numbers;
    for (const TGeoFence& fence : import.Fences) {
        FUZZ_CHECK(fence.ID >= 1 && fence.ID <= kGeoFenceCount);
        FUZZ_CHECK(numbers.insert(fence.ID).second);
        FUZZ_CHECK(FenceOnTheGlobe(fence.LTLongitude, fence.LTLatitude));
        FUZZ_CHECK(FenceOnTheGlobe(fence.RBLongitude, fence.RBLatitude));
        FUZZ_CHECK(fence.LTLongitude < fence.RBLongitude && fence.LTLatitude > fence.RBLatitude);
        FUZZ_CHECK(DeviceCanTakeName(fence.Name));
        table[fence.ID - 1] = fence;
    }
    for (const auto format : {TFenceExchange::TFormat::GeoJson, TFenceExchange::TFormat::Kml,
                              TFenceExchange::TFormat::Kmz}) {
        const TFenceExport exported = TFenceExchange::Export(table, format);
        FUZZ_CHECK(exported.Error.isEmpty() && exported.LeftOut.isEmpty());
        const TFenceImport again = TFenceExchange::FromBytes(exported.Bytes);
        FUZZ_CHECK(again.Error.isEmpty() && again.Fences.size() == import.Fences.size());
        for (const TGeoFence& fence : again.Fences) {
            FUZZ_CHECK(TFenceExchange::DeviceValue(fence) ==
                       TFenceExchange::DeviceValue(table[fence.ID - 1]));
        }
    }
}
