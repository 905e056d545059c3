#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// An INI text held in memory, for the files the program rewrites: the settings file,
// language files and profiles.
//
// Reading: every line is trimmed of blanks and control characters; empty lines are skipped;
// "[name]" opens a section (a repeated name continues the first section of that name);
// other lines split at their first "=" into key and value, both trimmed. Section and key
// names are compared without regard to case. Comment lines (";"), section lines without
// "=" and the lines before the first section are not keys but are kept, so a rewrite loses
// nothing of a file another program wrote.
//
// Writing: every section as "[name]", its lines in stored order and one empty line; CR LF
// line ends. A file that was valid UTF-8 (or new) is written as UTF-8; one that was read as
// Latin-1 stays 8-bit while its text fits, so bytes the program never touched come back
// unchanged. A byte-order mark at the start is recognised before the encoding is chosen and
// written back at the start.
class TIniDocument {
public:
    // Replaces the content with the file's. A missing file gives an empty document; an
    // existing file that cannot be read gives its error text and an empty document.
    std::optional<QString> LoadFromFile(const QString& path);
    // Writes the document atomically (see WriteFileAtomic); returns the error text on failure.
    [[nodiscard]] std::optional<QString> SaveToFile(const QString& path) const;

    // Replaces the content with the given file bytes: UTF-8, or Latin-1 when they are not
    // valid UTF-8.
    void Parse(const QByteArray& bytes);
    QByteArray ToBytes() const;

    // The value of the first line with this key; nullopt when section or key is missing.
    std::optional<QString> Value(const QString& section, const QString& key) const;
    // Key and value of every key line of the section, in file order.
    QList<std::pair<QString, QString>> SectionPairs(const QString& section) const;
    // Replaces the value of the key's first line in place, or appends the key at the end of
    // its section; a missing section is appended at the end of the document. Line breaks in
    // key or value become blanks, since a line break would end the entry.
    void WriteString(const QString& section, const QString& key, const QString& value);

private:
    struct TLine {
        QString Key; // the whole line when IsPair is false
        QString Value;
        bool IsPair = true;
    };
    struct TSection {
        QString Name;
        std::vector<TLine> Lines;
        QHash<QString, qsizetype> FirstLine; // case-folded key -> index in Lines
    };

    const TSection* FindSection(const QString& name) const;
    TSection& SectionFor(QStringView name);

    QStringList FPreamble;
    std::vector<TSection> FSections;
    QHash<QString, qsizetype> FSectionIndex; // case-folded name -> index in FSections
    bool FLatin1 = false;
    bool FBom = false;
};

// An integer as INI files hold one: an optional sign, then decimal digits, or hexadecimal
// digits after "$", "x" or "0x" (either case); nothing else, and within 32 bits.
std::optional<std::int32_t> IniTextToInt(QStringView text);
