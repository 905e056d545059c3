// The snapshot reader: any bytes are either refused with the line at fault, leaving the
// document empty, or read into a document that writes out as a text which reads back as the
// same document and the same text.
#include "FuzzCheck.h"
#include "uSnapshot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    TSnapshot snapshot;
    if (const auto error = snapshot.Parse(file)) {
        FUZZ_CHECK(error->startsWith(QLatin1String("line ")) ||
                   error->startsWith(QLatin1String("no [")));
        FUZZ_CHECK(snapshot.Params().isEmpty() && snapshot.ToBytes().isEmpty());
        return 0;
    }
    const QByteArray written = snapshot.ToBytes();
    TSnapshot again;
    FUZZ_CHECK(!again.Parse(written));
    FUZZ_CHECK(again.ToBytes() == written);
    FUZZ_CHECK(again.Params() == snapshot.Params());
    for (const char* key : {"ID", "Firmware", "Alias", "Saved"}) {
        const QString name = QString::fromLatin1(key);
        FUZZ_CHECK(again.DeviceValue(name) == snapshot.DeviceValue(name));
    }
    for (const auto& [key, value] : snapshot.Params()) {
        FUZZ_CHECK(again.Param(key) == value);
    }
    return 0;
}
