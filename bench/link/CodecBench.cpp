// Frame codec throughput: framing replies and cutting them back out of a receive buffer
// that also holds line noise.
#include "uUtils.h"

#include <benchmark/benchmark.h>
#include <random>

namespace {

constexpr int kFrames = 10'000;
constexpr qsizetype kBufferSize = 1 << 20;

QByteArray ReplyBody(int i) {
    return QStringLiteral("(0123456789,P%1,%2,CMNET,field)")
        .arg(i % 35, 2, 10, QLatin1Char('0'))
        .arg(i)
        .toLatin1();
}

// 1 MiB: 10,000 frames with noise (never a delimiter) filling the gaps.
QByteArray NoisyStream() {
    std::mt19937 random(7);
    QByteArray frames;
    for (int i = 0; i < kFrames; ++i) {
        frames.append(EncodeFrame(ReplyBody(i)).value());
    }
    const qsizetype gap = (kBufferSize - frames.size()) / kFrames;
    QByteArray stream;
    stream.reserve(kBufferSize);
    for (int i = 0; i < kFrames; ++i) {
        for (qsizetype n = 0; n < gap; ++n) {
            const char c = static_cast<char>(random() % 256);
            stream.append(c == '!' ? '?' : c);
        }
        stream.append(EncodeFrame(ReplyBody(i)).value());
    }
    return stream;
}

void BM_ExtractFrames(benchmark::State& state) {
    const QByteArray stream = NoisyStream();
    for (auto _ : state) {
        QByteArray buffer = stream;
        QByteArray text;
        int found = 0;
        while (HasCompleteFrame(buffer)) {
            found += ExtractFrame(buffer, text) ? 1 : 0;
        }
        if (found != kFrames) {
            state.SkipWithError("frames lost");
        }
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(state.iterations() * stream.size());
}
BENCHMARK(BM_ExtractFrames)->Unit(benchmark::kMillisecond);

void BM_EncodeFrames(benchmark::State& state) {
    QList<QByteArray> bodies;
    qsizetype bytes = 0;
    for (int i = 0; i < kFrames; ++i) {
        bodies.append(ReplyBody(i));
        bytes += bodies.last().size();
    }
    for (auto _ : state) {
        for (const QByteArray& body : bodies) {
            benchmark::DoNotOptimize(EncodeFrame(body));
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_EncodeFrames)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
