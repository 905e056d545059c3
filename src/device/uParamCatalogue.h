#pragma once

#include "uCmdItem.h"

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

    // Why value cannot be written as entry's value (wrong field count, an index that is
    // not the key's, text no frame can carry); nullopt when it can.
    static std::optional<QString> CheckValue(const TParamEntry& entry, const QString& value);
};
