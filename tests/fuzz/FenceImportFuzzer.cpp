// The geo-fence file reader: any bytes are either refused with a reason and no fence, or read
// into fences that the checks of FenceFuzzCheck.h hold for.
#include "FenceFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    CheckFenceImport(TFenceExchange::FromBytes(file));
    return 0;
}
