// The KML and KMZ reader: a KML text and the KMZ archive that holds it read alike, to the same
// fences, the same skipped Placemarks or the same refusal; and what is read holds the checks of
// FenceFuzzCheck.h. Inputs that are an archive already are read as they are.
#include "FenceFuzzCheck.h"
#include "uKmzArchive.h"

namespace {

std::vector<QString> DeviceValues(const TFenceImport& import) {
    std::vector<QString> values;
    for (const TGeoFence& fence : import.Fences) {
        values.push_back(TFenceExchange::DeviceValue(fence));
    }
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    const TFenceImport direct = TFenceExchange::FromBytes(file);
    CheckFenceImport(direct);
    if (TKmzArchive::LooksLikeZip(file) || !file.trimmed().startsWith('<')) {
        return 0;
    }
    QString error;
    const auto kmz = TKmzArchive::Pack(file, error);
    FUZZ_CHECK(kmz.has_value());
    const TFenceImport packed = TFenceExchange::FromBytes(*kmz);
    FUZZ_CHECK(packed.Error == direct.Error);
    FUZZ_CHECK(packed.Skipped == direct.Skipped);
    FUZZ_CHECK(DeviceValues(packed) == DeviceValues(direct));
    return 0;
}
