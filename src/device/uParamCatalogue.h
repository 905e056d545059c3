#pragma once

#include "uCmdItem.h"
#include "uFieldRule.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <vector>

// One parameter as a snapshot holds it: its key ("P03", "P11.3", "P08.17", "T01"), how it is
// read and whether it can be written. Writing sends exactly the fields the reply carried from
// f2 on, so a value read from a device can be written back unchanged.
struct TParamEntry {
    QString Key;
    std::int32_t ParamNo = 0;
    int Index = 0; // fence number or authorised-number row; 0 when unindexed
    std::uint8_t Kind = kCmdParam;
    bool Readable = false;
    bool Writable = false;
    int Fields = 0;  // reply fields from f2 on; -1: a count and that many values
    QString Caption; // the setting in the technician's words
    // One rule per field from f2 on; with a count (Fields -1), the count's then the values'.
    std::vector<TFieldRule> Rules;

    // The rule of field f2 + field of the value; nullptr past the last field.
    const TFieldRule* Rule(int field) const;

    // The command that reads it (Args "," and the index for indexed parameters).
    TCmdItem ReadCommand() const;
    // The command that writes value, the reply's fields from f2 on.
    TCmdItem WriteCommand(const QString& value) const;
};

// The parameters the program reads and writes, with the orders the batch operations use.
// P16 (battery level) and P20 (factory default) are no settings and never appear.
class TParamCatalogue {
public:
    static constexpr int kFences = 64;
    static constexpr int kVipRows = 5;

    // Every parameter: Read All's order, then the fences, then the radius (written only).
    static const std::vector<TParamEntry>& Entries();
    // The entry of a key (letter case ignored); nullptr for keys outside the catalogue.
    static const TParamEntry* Find(QStringView key);

    // Read All's 26 commands.
    static std::vector<TCmdItem> ReadAllCommands();
    // Read All's commands, then (P08,0,1) ... (P08,0,64).
    static std::vector<TCmdItem> BackupCommands();
    // Write All's keys (P03 ... P34, with P21 only where a snapshot has it), then P14, P09
    // and the 64 fences: the order in which a snapshot is written to a device.
    static const QStringList& RestoreOrder();

    // The key a reply "(...)" carries; nullopt for replies of no catalogue parameter. Its
    // value is ReplyValue (the fields from f2 on), a write's is CommandValue.
    static std::optional<QString> KeyOfReply(const QByteArray& reply);
    // The key a queued command reads or writes; nullopt outside the catalogue.
    static std::optional<QString> KeyOfCommand(const TCmdItem& cmd);

    // Why value cannot be entry's value: a field its rule refuses, the wrong number of fields
    // (for P21: a count that is not the number of time points), an index that is not the
    // key's, a command too long for a frame; nullopt when the value can be written.
    static std::optional<TRuleFault> CheckValue(const TParamEntry& entry, const QString& value);
    // The one check of a value from outside (a snapshot line, a cell of a values file): the key
    // must be a catalogue parameter that can be written, and the value its. The message starts
    // with the location when one is given: "values.csv: line 3: P17: Another name cannot
    // hold "!"".
    static std::optional<QString> CheckSetting(const QString& key, const QString& value,
                                               const QString& location = QString(),
                                               const TTranslate& translate = {});
    // A command the program is about to frame: a catalogue read as the catalogue builds it,
    // a write whose value passes CheckValue, the status query, or the factory default.
    static std::optional<TRuleFault> CheckCommand(const TCmdItem& cmd);
    // A device's reply "(...)" to a catalogue parameter whose value no field can hold; nullopt
    // for replies the program can use, and for parameters outside the catalogue.
    static std::optional<TRuleFault> CheckReply(const QByteArray& reply);
    // The rule of one field of a key's value (0 is f2); nullptr for no such field.
    static const TFieldRule* FieldRule(QStringView key, int field);
    // Every text the rules' messages may look up, for the language file.
    static QStringList Texts();

    // Whether two values of a parameter are the same as the device stores them: numbers and
    // coordinates by value at the device's precision ("060" is 60, "000.0000" is 0), texts
    // exactly, as each field's rule says. Values of another field count differ. The one
    // comparison behind the window's marks, the snapshot diff, and restore and verify.
    static bool SameValue(const TParamEntry& entry, const QString& a, const QString& b);
    // The same for one field (counted from the value's first).
    static bool SameField(const TParamEntry& entry, int field, const QString& a, const QString& b);
    // Whether a write's echo (the reply's fields from the third on) holds the value sent.
    // Commands of no catalogue parameter compare as texts.
    static bool SameWrite(const TCmdItem& cmd, const QString& held);
};
