#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// Run-time translation of every text the user sees. Each distinct source text gets an id,
// 0, 1, 2, ... in the order of its first lookup; a language file ("locale/<name>.lng",
// section "language", keys are ids) maps ids to translated texts. The tables live in this
// unit from program start to end and are used from the event thread only.

// One text of a table: the source text with its id, or a translation of that id.
struct TLangEntry {
    std::int32_t Id = 0;
    QString Text;
};

// The translation of source in the loaded language; source itself when there is none or
// it is empty. A text never seen before gets the next id. Never fails.
QString TranslateText(const QString& source);

// Replaces the loaded translations with those of locale/<name>.lng; does nothing when name
// is the language loaded last. A missing or unreadable file loads no translation; keys that
// are not integers are ignored; of two keys with one id ("7", "007", "+7") the first counts.
void LoadLanguage(const QString& name);

// Writes every source text under its id ("%.3d") into locale/<name>.lng, keeping what else
// the file holds. Returns the file error text on failure; the old file is then unchanged.
[[nodiscard]] std::optional<QString> ExportLanguageFile(const QString& name);

// The language loaded last; empty at program start.
QString CurrentLanguage();
// How many source texts have an id.
qsizetype SourceTextCount();
// The path of the language file of that name: the user's own, or else the one shipped with an
// installed program, or else where the user's own would be.
QString LanguageFilePath(const QString& name);
// Where the user's own language file of that name is (and is written).
QString UserLanguageFilePath(const QString& name);
// The names of the language files in the locale folder (plain files, not hidden, ending in
// ".lng" in either case), in the order the folder lists them, followed by those shipped with
// an installed program that the user has no file of (in any letter case).
QStringList LanguageNames();

// Back to the program-start state: no source texts, no translations, no language. Tests
// only; the program keeps its ids for the whole run.
void ResetLanguageState();
