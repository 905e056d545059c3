// The geo-fence file reader: any bytes are either refused with a reason and no fence, or read
// into at most 64 fences with distinct numbers, corners on the globe, the left top corner
// north-west of the right bottom one, and names the device can take; exported again, they
// read back as the very same device values.
#include "FuzzCheck.h"
#include "uFenceExchange.h"

#include <QRegularExpression>
#include <algorithm>
#include <set>

namespace {

bool OnTheGlobe(double longitude, double latitude) {
    return longitude >= -180.0 && longitude <= 180.0 && latitude >= -90.0 && latitude <= 90.0;
}

bool DeviceCanTake(const QString& name) {
    static const QRegularExpression separators(QStringLiteral("[,()!]"));
    return name.size() <= kGeoFenceNameLength && !name.contains(separators) &&
           std::all_of(name.cbegin(), name.cend(), [](QChar c) {
               return c.unicode() >= 0x20 && c.unicode() <= 0xFF && c.unicode() != 0x7F;
           });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    const TFenceImport import = TFenceExchange::FromBytes(file);
    if (!import.Error.isEmpty()) {
        FUZZ_CHECK(import.Fences.empty());
        return 0;
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
        FUZZ_CHECK(!fence.IsEmpty());
        FUZZ_CHECK(OnTheGlobe(fence.LTLongitude, fence.LTLatitude));
        FUZZ_CHECK(OnTheGlobe(fence.RBLongitude, fence.RBLatitude));
        FUZZ_CHECK(fence.LTLongitude <= fence.RBLongitude && fence.LTLatitude >= fence.RBLatitude);
        FUZZ_CHECK(DeviceCanTake(fence.Name));
        table[fence.ID - 1] = fence;
    }
    QString error;
    const auto exported = TFenceExchange::ToGeoJson(table, error);
    FUZZ_CHECK(exported.has_value());
    const TFenceImport again = TFenceExchange::FromBytes(*exported);
    FUZZ_CHECK(again.Error.isEmpty() && again.Fences.size() == import.Fences.size());
    for (const TGeoFence& fence : again.Fences) {
        FUZZ_CHECK(TFenceExchange::DeviceValue(fence) ==
                   TFenceExchange::DeviceValue(table[fence.ID - 1]));
    }
    return 0;
}
