#pragma once

#include "uCmdItem.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

// A device's settings as a file: INI text, UTF-8 with CR LF line ends (a file read with bare LF
// line ends is written back with them). [Device] gives the file's format and names the unit
// (Format, ID, Firmware, Alias, Saved); [Params] holds one line per parameter key, its value
// being the device's reply fields from f2 on, exactly as received (see docs/snapshot.md).
//
// Lines the program does not know (comments, other keys, other sections) are kept in place
// when the document is written again. A text that breaks the format is refused whole, with
// the number of the first line at fault.
class TSnapshot {
public:
    static const QString kDevice; // section names
    static const QString kParams;
    // The format this program writes ([Device] Format=); a file without the key is format 1,
    // and a later format is refused.
    static constexpr int kFormat = 1;

    // A new document: [Device] with Format, then ID, Firmware, Alias and Saved, empty until set.
    static TSnapshot Blank();

    // Replaces the content with the text's; on error the document is left empty and the
    // reason is returned as "line N: ...".
    std::optional<QString> Parse(const QByteArray& bytes);
    QByteArray ToBytes() const;
    // Load and Save name the file in their error text.
    std::optional<QString> Load(const QString& path);
    [[nodiscard]] std::optional<QString> Save(const QString& path) const;

    // A [Device] value (ID, Firmware, Alias, Saved); empty when missing.
    QString DeviceValue(const QString& key) const;
    void SetDeviceValue(const QString& key, const QString& value);

    // The value of a parameter key; nullopt when the snapshot does not have it.
    std::optional<QString> Param(const QString& key) const;
    // Sets a catalogue key's value in place, or appends it to [Params].
    void SetParam(const QString& key, const QString& value);
    // Keeps the value of every write command of a catalogue parameter, as Write All builds
    // them from the window: the snapshot then writes exactly what Write All would send.
    void SetWrites(const std::vector<TCmdItem>& cmds);
    // The catalogue keys of [Params] with their values, in file order.
    QList<std::pair<QString, QString>> Params() const;

private:
    struct TLine {
        QString Text; // the whole line when Key is empty
        QString Key;
        QString Value;
    };
    struct TSection {
        QString Name;
        std::vector<TLine> Lines;
    };

    qsizetype SectionIndex(const QString& name) const;
    const TSection* FindSection(const QString& name) const;
    TSection& SectionFor(const QString& name);
    static qsizetype LineIndex(const TSection& section, const QString& key);
    static const TLine* FindLine(const TSection& section, const QString& key);
    void Set(const QString& section, const QString& key, const QString& value);
    std::optional<QString> ParseLines(const QString& text);

    QString FLineEnd = QStringLiteral("\r\n"); // as the file read had them
    QList<QString> FPreamble;                  // comments before the first section
    std::vector<TSection> FSections;
};
