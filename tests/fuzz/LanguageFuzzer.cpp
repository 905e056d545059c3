// The language loader: a file of any bytes gives, for every text, the translation a plain map
// of the file's [Language] section gives. The hash trie holding the texts agrees with a
// plain map for the section's keys as well, by bytes and ignoring letter case.
#include "FuzzCheck.h"
#include "uAppPaths.h"
#include "uAtomicFile.h"
#include "uHashTrie.h"
#include "uIniDocument.h"
#include "uLanguage.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <set>

namespace {

constexpr int kTexts = 128; // looked-up texts get the ids 0 to kTexts - 1

QTemporaryDir* Dir = nullptr;

// ASCII letters to one case, as the case-blind trie compares them.
QByteArray WithCase(QByteArray key, bool upper) {
    for (char& c : key) {
        if (upper && c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (!upper && c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

void CheckTrieAgainstMap(const QList<std::pair<QString, QString>>& pairs, bool caseSensitive) {
    TStringHashTrie<QString> trie(caseSensitive, true, kOwnObjects);
    std::map<QByteArray, QString> reference;
    for (const auto& [key, value] : pairs) {
        const QByteArray bytes = key.toUtf8();
        const QByteArray mapKey = caseSensitive ? bytes : WithCase(bytes, false);
        if (reference.emplace(mapKey, value).second) {
            trie.Add(bytes, new QString(value));
        }
    }
    FUZZ_CHECK(trie.Count() == static_cast<qsizetype>(reference.size()));
    for (const auto& [key, value] : pairs) {
        const QByteArray bytes = key.toUtf8();
        for (const QByteArray& asked : {bytes, WithCase(bytes, false), WithCase(bytes, true)}) {
            const QString* found = trie.Lookup(asked);
            const auto it = reference.find(caseSensitive ? asked : WithCase(asked, false));
            FUZZ_CHECK((found == nullptr) == (it == reference.end()));
            FUZZ_CHECK(found == nullptr || *found == it->second);
        }
    }
    // The entry list keeps the order of addition.
    qsizetype index = 0;
    std::set<QByteArray> seen;
    for (const auto& [key, value] : pairs) {
        const QByteArray bytes = key.toUtf8();
        if (seen.insert(caseSensitive ? bytes : WithCase(bytes, false)).second) {
            FUZZ_CHECK(trie.EntryAt(index) == trie.Lookup(bytes));
            ++index;
        }
    }
    FUZZ_CHECK(index == trie.Count());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    Dir = new QTemporaryDir;
    SetAppDirOverride(Dir->path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    if (WriteFileAtomic(LanguageFilePath(QStringLiteral("fuzz")), file)) {
        return 0;
    }
    ResetLanguageState();
    LoadLanguage(QStringLiteral("fuzz"));

    TIniDocument document;
    document.Parse(file);
    const auto pairs = document.SectionPairs(QStringLiteral("Language"));
    std::map<std::int32_t, QString> translations; // the first line of an id counts
    for (const auto& [key, value] : pairs) {
        if (const auto id = IniTextToInt(key)) {
            translations.emplace(*id, value);
        }
    }
    for (int id = 0; id < kTexts; ++id) {
        const QString text = QStringLiteral("text %1").arg(id);
        const auto it = translations.find(id);
        const QString expected =
            it != translations.end() && !it->second.isEmpty() ? it->second : text;
        FUZZ_CHECK(TranslateText(text) == expected);
    }
    FUZZ_CHECK(SourceTextCount() == kTexts);

    CheckTrieAgainstMap(pairs, true);
    CheckTrieAgainstMap(pairs, false);
    return 0;
}
