// The simulator's frame parser: whatever our encoder frames, cut anywhere, the simulator
// decodes as that text, in order, skipping nothing; its replies are frames our receiver
// reads. Any other bytes at most cost frames, never the simulator.
#include "FuzzCheck.h"
#include "uDeviceSim.h"
#include "uUtils.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    TDeviceSim device;
    QByteArrayList decoded;
    device.SetTranscript([&](const QString& line) {
        if (line.startsWith(QLatin1String("<< "))) {
            decoded.append(line.sliced(3).toLatin1());
        }
    });

    if (data.ConsumeBool()) {
        const QByteArray noise = QByteArray::fromStdString(data.ConsumeRemainingBytesAsString());
        for (const QByteArray& frame : device.Receive(noise)) {
            QByteArray buffer = frame;
            QByteArray text;
            FUZZ_CHECK(ExtractFrame(buffer, text) && buffer.isEmpty());
        }
        return 0;
    }

    QByteArrayList bodies;
    QByteArray stream;
    while (data.remaining_bytes() > 0 && bodies.size() < 32) {
        QByteArray body = QByteArray::fromStdString(data.ConsumeRandomLengthString(kMaxFrameBody));
        body.replace('!', '?'); // a body cannot hold the delimiter
        bodies.append(body);
        stream += EncodeFrame(body).value();
    }
    QList<QByteArray> replies;
    qsizetype fed = 0;
    std::uint32_t seed = static_cast<std::uint32_t>(size);
    while (fed < stream.size()) {
        seed = seed * 1103515245u + 12345u; // cuts the stream at varying points
        const qsizetype piece = std::min<qsizetype>(stream.size() - fed, 1 + (seed >> 16) % 40);
        replies += device.Receive(stream.sliced(fed, piece));
        fed += piece;
    }
    FUZZ_CHECK(decoded == bodies);
    FUZZ_CHECK(device.BadFrames() == 0);
    FUZZ_CHECK(device.Answered() + device.Ignored() == bodies.size());
    for (const QByteArray& frame : replies) {
        QByteArray buffer = frame;
        QByteArray text;
        FUZZ_CHECK(ExtractFrame(buffer, text) && buffer.isEmpty());
        FUZZ_CHECK(text.startsWith('(') && text.endsWith(')'));
    }
    return 0;
}
