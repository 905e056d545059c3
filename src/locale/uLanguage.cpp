#include "uLanguage.h"

#include "uAppPaths.h"
#include "uHashTrie.h"
#include "uIniDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QStringEncoder>
#include <QVarLengthArray>
#include <memory>

namespace {

const QString kSection = QStringLiteral("language");

// A source text with its id, remembering the translation it resolved to while the same
// translations stay loaded: the lookups of the many repeated texts then cost one search.
struct TSourceEntry : TLangEntry {
    const TLangEntry* Translation = nullptr;
    std::uint64_t Loaded = 0; // the value of TLanguageState::Loads when Translation was found
};

// The module state, created before the main window and released at program end.
struct TLanguageState {
    TStringHashTrie<TSourceEntry> SourceTexts{true, true, kOwnRecords};
    TStringHashTrie<TLangEntry> Translations{true, true, kOwnRecords};
    QString CurrentLanguage;
    std::uint64_t Loads = 1; // changes whenever the translations are replaced
};

TLanguageState& State() {
    static TLanguageState state;
    return state;
}

// Trie keys are 8-bit; UI texts go in as UTF-8, which keeps well-formed texts distinct. Short
// texts, nearly all of them, are encoded on the stack.
using TSourceKey = QVarLengthArray<char, 256>;

QByteArrayView SourceKey(const QString& source, TSourceKey& buffer) {
    // ASCII, which the program's own texts are, needs no encoder.
    const QChar* text = source.constData();
    const qsizetype size = source.size();
    buffer.resize(size);
    qsizetype i = 0;
    while (i < size && text[i].unicode() < 0x80) {
        buffer[i] = static_cast<char>(text[i].unicode());
        ++i;
    }
    if (i == size) {
        return QByteArrayView(buffer.data(), size);
    }
    static QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    buffer.resize(i + utf8.requiredSpace(size - i));
    const char* end = utf8.appendToBuffer(buffer.data() + i, QStringView(source).sliced(i));
    return QByteArrayView(buffer.data(), end - buffer.data());
}

// The listed file of that name, whatever the case of its extension ("FRENCH.LNG"), so that
// every listed language loads on a case-sensitive file system too.
QString FileInFolder(const QString& folder, const QString& name) {
    const QString path = folder + QLatin1Char('/') + name + QLatin1String(".lng");
    if (!QFileInfo::exists(path)) {
        const QDir listed(folder, QStringLiteral("*.lng"), QDir::Unsorted, QDir::Files);
        for (const QFileInfo& file : listed.entryInfoList()) {
            if (file.completeBaseName() == name) {
                return file.filePath();
            }
        }
    }
    return path;
}

// Plain files ending in ".lng" in either case, in the order the folder lists them.
QStringList NamesInFolder(const QString& path) {
    QStringList names;
    const QDir folder(path, QStringLiteral("*.lng"), QDir::Unsorted, QDir::Files);
    for (const QFileInfo& file : folder.entryInfoList()) {
        names.append(file.completeBaseName());
    }
    return names;
}

} // namespace

QString TranslateText(const QString& source) {
    TLanguageState& state = State();
    TSourceKey buffer;
    const QByteArrayView key = SourceKey(source, buffer);
    TSourceEntry* entry = state.SourceTexts.Lookup(key);
    if (!entry) {
        auto added = std::make_unique<TSourceEntry>();
        added->Id = static_cast<std::int32_t>(state.SourceTexts.Count());
        added->Text = source;
        state.SourceTexts.Add(key, added.get());
        entry = added.release();
    }
    if (entry->Loaded != state.Loads) {
        entry->Translation = state.Translations.LookupById(entry->Id);
        entry->Loaded = state.Loads;
    }
    const TLangEntry* translation = entry->Translation;
    return translation && !translation->Text.isEmpty() ? translation->Text : source;
}

void LoadLanguage(const QString& name) {
    TLanguageState& state = State();
    if (name == state.CurrentLanguage) {
        return;
    }
    state.CurrentLanguage = name;
    state.Translations.Clear();
    ++state.Loads;
    TIniDocument document;
    document.LoadFromFile(LanguageFilePath(name));
    for (const auto& [key, value] : document.SectionPairs(kSection)) {
        const std::optional<std::int32_t> id = IniTextToInt(key);
        if (!id || state.Translations.LookupById(*id)) {
            continue;
        }
        auto entry = std::make_unique<TLangEntry>(TLangEntry{*id, value});
        state.Translations.AddById(entry.get(), *id);
        static_cast<void>(entry.release()); // the trie owns it now
    }
}

std::optional<QString> ExportLanguageFile(const QString& name) {
    TLanguageState& state = State();
    // Always the user's own folder: a shipped file is read, never written.
    const QString path = UserLanguageFilePath(name);
    TIniDocument document;
    // Writing over a file that could not be read would lose its other keys.
    if (auto error = document.LoadFromFile(path)) {
        return error;
    }
    for (qsizetype i = 0; i < state.SourceTexts.Count(); ++i) {
        const TLangEntry* entry = state.SourceTexts.EntryAt(i);
        document.WriteString(kSection, QString::number(entry->Id).rightJustified(3, u'0'),
                             entry->Text);
    }
    return document.SaveToFile(path);
}

QString CurrentLanguage() {
    return State().CurrentLanguage;
}

qsizetype SourceTextCount() {
    return State().SourceTexts.Count();
}

QString LanguageFilePath(const QString& name) {
    const QString own = UserLanguageFilePath(name);
    const QString shipped = SharedLocaleDir();
    if (shipped.isEmpty() || QFileInfo::exists(own)) {
        return own;
    }
    const QString shippedFile = FileInFolder(shipped, name);
    return QFileInfo::exists(shippedFile) ? shippedFile : own;
}

QString UserLanguageFilePath(const QString& name) {
    return FileInFolder(LocaleDir(), name);
}

QStringList LanguageNames() {
    QStringList names = NamesInFolder(LocaleDir());
    const QString shipped = SharedLocaleDir();
    if (!shipped.isEmpty()) {
        for (const QString& name : NamesInFolder(shipped)) {
            if (!names.contains(name, Qt::CaseInsensitive)) {
                names.append(name);
            }
        }
    }
    return names;
}

void ResetLanguageState() {
    TLanguageState& state = State();
    state.SourceTexts.Clear();
    state.Translations.Clear();
    ++state.Loads;
    state.CurrentLanguage.clear();
}
