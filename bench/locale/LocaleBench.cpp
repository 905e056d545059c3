// Translation lookup against a plain std::unordered_map, and language file loading.
#include "StartupTexts.h"
#include "uAppPaths.h"
#include "uAtomicFile.h"
#include "uLanguage.h"

#include <QHash>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <unordered_map>

namespace {

constexpr int kTextCount = int(std::size(kStartupTexts));

QString Translated(int id) {
    return QStringLiteral("Übersetzung %1").arg(id);
}

// A program folder with a language translating every start-up text, loaded after the
// start-up lookups, as the program runs.
struct TStartedProgram {
    TStartedProgram() {
        SetAppDirOverride(Dir.path());
        ResetLanguageState();
        QByteArray file = "[language]\r\n";
        for (int id = 0; id < kTextCount; ++id) {
            Texts.append(QString::fromLatin1(kStartupTexts[id]));
            TranslateText(Texts.back());
            file += QByteArray::number(id).rightJustified(3, '0') + '=' + Translated(id).toUtf8() +
                    "\r\n";
            Map.emplace(Texts.back(), Translated(id));
            Ids.emplace(Texts.back(), id);
            IdTexts.emplace(id, Translated(id));
        }
        WriteLanguage("bench", file);
        LoadLanguage("bench");
    }
    void WriteLanguage(const QString& name, const QByteArray& bytes) const {
        if (WriteFileAtomic(LanguageFilePath(name), bytes)) {
            std::abort();
        }
    }

    QTemporaryDir Dir;
    QStringList Texts;
    // One map from source to translation, and the same two steps TranslateText takes.
    std::unordered_map<QString, QString> Map;
    std::unordered_map<QString, int> Ids;
    std::unordered_map<int, QString> IdTexts;
};

TStartedProgram& Program() {
    static TStartedProgram program;
    return program;
}

QString MapTranslate(const QString& source) {
    const auto& map = Program().Map;
    const auto it = map.find(source);
    return it != map.end() && !it->second.isEmpty() ? it->second : source;
}

QString TwoMapsTranslate(const QString& source) {
    const auto id = Program().Ids.find(source);
    if (id == Program().Ids.end()) {
        return source;
    }
    const auto text = Program().IdTexts.find(id->second);
    return text != Program().IdTexts.end() && !text->second.isEmpty() ? text->second : source;
}

// The debug log's direction label: the same text on every line.
template <QString (*Translate)(const QString&)> void BM_Repeated(benchmark::State& state) {
    const QString text = Program().Texts[29];
    for (auto _ : state) {
        benchmark::DoNotOptimize(Translate(text));
    }
}

// The start-up texts in turn: the cache never answers.
template <QString (*Translate)(const QString&)> void BM_Rotating(benchmark::State& state) {
    const QStringList& texts = Program().Texts;
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Translate(texts[i]));
        i = (i + 1) % kTextCount;
    }
}

// Loading a language file of state.range(0) keys; the release of the previous
// translations is left out of the timing.
void BM_LoadLanguage(benchmark::State& state) {
    Program();
    QByteArray file = "[language]\r\n";
    for (int id = 0; id < state.range(0); ++id) {
        file += QByteArray::number(id).rightJustified(3, '0') + "=Translated text number " +
                QByteArray::number(id) + "\r\n";
    }
    Program().WriteLanguage("big", file);
    for (auto _ : state) {
        LoadLanguage("big");
        state.PauseTiming();
        LoadLanguage("bench");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * file.size());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_Repeated<TranslateText>)->Name("BM_TranslateRepeated");
BENCHMARK(BM_Repeated<MapTranslate>)->Name("BM_MapRepeated");
BENCHMARK(BM_Rotating<TranslateText>)->Name("BM_TranslateRotating");
BENCHMARK(BM_Rotating<MapTranslate>)->Name("BM_MapRotating");
BENCHMARK(BM_Rotating<TwoMapsTranslate>)->Name("BM_TwoMapsRotating");
BENCHMARK(BM_LoadLanguage)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
