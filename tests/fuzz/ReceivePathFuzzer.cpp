// The receive path, bytes to frames to replies through the exchange engine: reply frames cut
// at any point, with line noise between them, reach the reply handler whole and in order;
// any bytes at all give only parenthesised texts.
#include "FakeCommPort.h"
#include "FuzzCheck.h"
#include "uEngineHost.h"
#include "uExchangeEngine.h"
#include "uUtils.h"

#include <QCoreApplication>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

class TRecordingHost : public IEngineHost {
public:
    void AddLog(const QString&) override {}
    void ShowProgress(int, int) override {}
    void SetDeviceButtons(bool) override {}
    void HandleReply(const QByteArray& reply) override { Replies.append(reply); }
    QString TranslateText(const QString& text) override { return text; }

    QByteArrayList Replies;
};

// Noise without a delimiter cannot touch a frame.
QByteArray Quiet(QByteArray bytes) {
    return bytes.replace('!', '.');
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    TFakeCommPort port;
    TRecordingHost host;
    TExchangeEngine engine(port, host);
    port.Open();

    if (data.ConsumeBool()) {
        while (data.remaining_bytes() > 0) {
            port.Feed(QByteArray::fromStdString(data.ConsumeRandomLengthString(300)));
        }
        for (const QByteArray& reply : host.Replies) {
            FUZZ_CHECK(reply.startsWith('(') && reply.endsWith(')') && !reply.contains('!'));
        }
        return 0;
    }

    QByteArrayList texts;
    QByteArray stream;
    while (data.remaining_bytes() > 0 && texts.size() < 32) {
        QByteArray inner = Quiet(QByteArray::fromStdString(data.ConsumeRandomLengthString(200)));
        inner.replace('(', '<').replace(')', '>');
        const QByteArray text = '(' + inner + ')';
        texts.append(text);
        stream += Quiet(QByteArray::fromStdString(data.ConsumeRandomLengthString(8)));
        stream += EncodeFrame(text).value();
    }
    std::uint32_t seed = static_cast<std::uint32_t>(size);
    for (qsizetype fed = 0; fed < stream.size();) {
        seed = seed * 1103515245u + 12345u; // reads of varying size
        const qsizetype piece = std::min<qsizetype>(stream.size() - fed, 1 + (seed >> 16) % 64);
        port.Feed(stream.sliced(fed, piece));
        fed += piece;
    }
    FUZZ_CHECK(host.Replies == texts);
    return 0;
}
