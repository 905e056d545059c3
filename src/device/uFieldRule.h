#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Looks a text up in the user's language; the identity where no language applies.
using TTranslate = std::function<QString(const QString&)>;

// Why a value cannot be what it claims to be: which parameter, which of its fields, and the
// reason, kept as a text to translate and its arguments so each front shows it in its words.
struct TRuleFault {
    QString Key;                 // "P17", "P11.3"; empty when only a field was checked
    const char* Field = nullptr; // the field's caption; nullptr for a fault of the whole value
    int Index = 0;               // the record the caption names ("Authorized number %1")
    const char* Text = "";       // the reason: %1 the field's caption (or the key), then Args
    QStringList Args;

    // The reason alone: "Another name cannot hold "!"".
    QString Reason(const TTranslate& translate = {}) const;
    // With the key in front when the fault is a field's: "P17: Another name cannot hold "!"".
    QString Message(const TTranslate& translate = {}) const;
};

// One field of a parameter as the device keeps it: what it may hold and what it is called.
// Nothing that passes can end or split a command or its frame: no "!", "(", ")" or ",", no
// control character, nothing beyond Latin-1.
struct TFieldRule {
    enum class TKind {
        Integer, // plain decimal with an optional "-", from Min to Max
        Switch,  // exactly "0" (off) or "1" (on)
        Phone,   // digits after an optional "+", at most MaxLength characters
        Text,    // printable Latin-1 but the separators, at most MaxLength characters
        Coord,   // degrees and minutes: an optional "-", digits, an optional "." and digits
    };

    const char* Caption; // "%1" stands for the record's index (authorised number, geo-fence)
    TKind Kind = TKind::Text;
    int MaxLength = 0;
    qint64 Min = 0;
    qint64 Max = 0;

    // The caption for the record index (0 for unindexed parameters).
    QString CaptionFor(int index) const;
    // Why the value breaks the rule; nullopt when the field can hold it.
    std::optional<TRuleFault> Check(const QString& value, int index = 0) const;
    // While a value is being typed: a fault only when no further typing at its end can mend it
    // (a character the field never holds, too many characters, a number past its bound), so a
    // field can refuse an edit at once and still take "-" on the way to "-60".
    std::optional<TRuleFault> CheckTyping(const QString& value, int index = 0) const;

    // A character the field may hold.
    bool Allows(QChar c) const;

    // A character as a message shows it: itself, or "\xNN" for a control character.
    static QString Shown(QChar c);
    // Every reason text, for the language file.
    static QStringList Texts();

private:
    std::optional<TRuleFault> CheckCharacters(const QString& value, int index) const;
    TRuleFault Fault(int index, const char* text, QStringList args = {}) const;
};
