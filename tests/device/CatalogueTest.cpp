#include "uBatchOutcome.h"
#include "uDeviceSim.h"
#include "uParamCatalogue.h"
#include "uSnapshot.h"
#include "uUtils.h"

#include <QHash>
#include <gtest/gtest.h>

namespace {

QByteArray Frame(const QByteArray& text) {
    return EncodeFrame(text).value();
}

QByteArrayList Texts(const std::vector<TCmdItem>& cmds) {
    QByteArrayList texts;
    for (const TCmdItem& cmd : cmds) {
        texts.append(CommandText(cmd));
    }
    return texts;
}

} // namespace

TEST(Catalogue, ReadAllAndBackupOrders) {
    const QByteArrayList readAll = {
        "(T01,0)",   "(P01,0)",   "(P03,0)",   "(P17,0)",   "(P10,0)",   "(P12,0)",   "(P06,0)",
        "(P25,0)",   "(P05,0)",   "(P07,0)",   "(P04,0)",   "(P21,0)",   "(P14,0)",   "(P18,0)",
        "(P11,0,1)", "(P22,0,1)", "(P11,0,2)", "(P22,0,2)", "(P11,0,3)", "(P22,0,3)", "(P11,0,4)",
        "(P22,0,4)", "(P11,0,5)", "(P22,0,5)", "(P31,0)",   "(P34,0)"};
    EXPECT_EQ(Texts(TParamCatalogue::ReadAllCommands()), readAll);

    const QByteArrayList backup = Texts(TParamCatalogue::BackupCommands());
    ASSERT_EQ(backup.size(), 26 + 64);
    EXPECT_EQ(backup.first(26), readAll);
    EXPECT_EQ(backup[26], "(P08,0,1)");
    EXPECT_EQ(backup.last(), "(P08,0,64)");
}

TEST(Catalogue, RestoreOrderIsWriteAllsThenVolumeRadiusAndFences) {
    const QStringList& order = TParamCatalogue::RestoreOrder();
    ASSERT_EQ(order.size(), 10 + 10 + 5 + 64);
    EXPECT_EQ(order.first(10),
              (QStringList{"P03", "P17", "P10", "P12", "P06", "P25", "P05", "P04", "P07", "P21"}));
    EXPECT_EQ(order.sliced(10, 15),
              (QStringList{"P11.1", "P11.2", "P11.3", "P11.4", "P11.5", "P22.1", "P22.2", "P22.3",
                           "P22.4", "P22.5", "P18", "P31", "P34", "P14", "P09"}));
    EXPECT_EQ(order[25], "P08.1");
    EXPECT_EQ(order.last(), "P08.64");
    for (const QString& key : order) {
        const TParamEntry* entry = TParamCatalogue::Find(key);
        ASSERT_NE(entry, nullptr) << key.toStdString();
        EXPECT_TRUE(entry->Writable) << key.toStdString();
    }
}

TEST(Catalogue, KeysOfRepliesAndCommands) {
    struct TCase {
        const char* reply;
        const char* key; // nullptr: no catalogue parameter
        const char* value;
    };
    const TCase cases[] = {
        {"(0123456789,P05,10.0.0.1,9000,CMNET,,)", "P05", "10.0.0.1,9000,CMNET,,"},
        {"(0123456789,P11,3,13900000003)", "P11.3", "3,13900000003"},
        {"(0123456789,P22,5,1,1,0,1)", "P22.5", "5,1,1,0,1"},
        {"(0123456789,P08,17,11354.0000,2230.0000,11406.0000,2224.0000,HOME)", "P08.17",
         "17,11354.0000,2230.0000,11406.0000,2224.0000,HOME"},
        {"(0123456789,P03,)", "P03", ""},
        {"(0123456789,T01,0,VAN,4,24,85)", "T01", "0,VAN,4,24,85"},
        {"(0123456789,P01,V2.3.1)", "P01", "V2.3.1"},
        {"(0123456789,P16,85)", nullptr, ""}, // battery level: no setting
        {"(0123456789,P20)", nullptr, ""},    // factory default
        {"(0123456789,P08,65,0,0,0,0,)", nullptr, ""},
        {"(0123456789,P11,0,5)", nullptr, ""},
        {"(0123456789,T03,1)", nullptr, ""},
        {"(0123456789)", nullptr, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.reply);
        const auto key = TParamCatalogue::KeyOfReply(c.reply);
        if (!c.key) {
            EXPECT_FALSE(key.has_value());
            continue;
        }
        ASSERT_TRUE(key.has_value());
        EXPECT_EQ(*key, QLatin1String(c.key));
        EXPECT_EQ(ReplyValue(c.reply), QLatin1String(c.value));
    }

    EXPECT_EQ(TParamCatalogue::KeyOfCommand({8, 1, ",17,1,2,3,4,X", 0}), "P08.17");
    EXPECT_EQ(TParamCatalogue::KeyOfCommand({1, 0, "", 1}), "T01");
    EXPECT_EQ(TParamCatalogue::KeyOfCommand({20, 1, "", 0}), std::nullopt);
    EXPECT_EQ(TParamCatalogue::KeyOfCommand({11, 1, ",9,0", 0}), std::nullopt);
    EXPECT_EQ(TParamCatalogue::Find(QStringLiteral("p11.3"))->Key, "P11.3");
    EXPECT_FALSE(TParamCatalogue::Find(QStringLiteral("P16")));
    EXPECT_FALSE(TParamCatalogue::Find(QStringLiteral("P20")));
    EXPECT_TRUE(TParamCatalogue::Find(QStringLiteral("P09"))->Writable);
    EXPECT_FALSE(TParamCatalogue::Find(QStringLiteral("P09"))->Readable);
    EXPECT_FALSE(TParamCatalogue::Find(QStringLiteral("P01"))->Writable);
    EXPECT_FALSE(TParamCatalogue::Find(QStringLiteral("T01"))->Writable);
}

// Every readable, writable parameter: read from a device, kept in a snapshot file, read from
// the file and written to a second device, which then answers the read exactly as the first.
TEST(Catalogue, EveryParameterRoundTripsThroughASnapshot) {
    TDeviceSim source;
    // Values away from the factory ones, so a lost field would show.
    for (const QByteArray& write :
         {QByteArray("(P03,1,+8613800138000)"), QByteArray("(P04,1,60,10,0)"),
          QByteArray("(P05,1,10.0.0.1,9000,CMNET,user,)"), QByteArray("(P07,1,2)"),
          QByteArray("(P21,1,2,480,1020)"), QByteArray("(P11,1,3,13900000003)"),
          QByteArray("(P22,1,5,1,0,1,0)"), QByteArray("(P17,1,VAN 42)"),
          QByteArray("(P08,1,5,11354.0000,2230.0000,11406.0000,2224.0000,HOME)")}) {
        ASSERT_EQ(source.ReceiveTexts(Frame(write)).size(), 1) << write.constData();
    }
    TSnapshot snapshot;
    ASSERT_EQ(snapshot.Parse("[Params]\r\n"), std::nullopt);
    int kept = 0;
    for (const TCmdItem& read : TParamCatalogue::BackupCommands()) {
        const QByteArrayList replies = source.ReceiveTexts(Frame(CommandText(read)));
        ASSERT_EQ(replies.size(), 1) << CommandText(read).constData();
        const auto key = TParamCatalogue::KeyOfReply(replies.first());
        ASSERT_TRUE(key) << replies.first().constData();
        EXPECT_EQ(TParamCatalogue::KeyOfCommand(read), key);
        const TParamEntry& entry = *TParamCatalogue::Find(*key);
        if (entry.Writable) {
            snapshot.SetParam(*key, ReplyValue(replies.first()));
            ++kept;
        }
    }
    EXPECT_EQ(kept, 24 + 64);

    TSnapshot reread;
    ASSERT_EQ(reread.Parse(snapshot.ToBytes()), std::nullopt);
    EXPECT_EQ(reread.Params(), snapshot.Params());
    TDeviceSim target;
    for (const auto& [key, value] : reread.Params()) {
        const TParamEntry& entry = *TParamCatalogue::Find(key);
        const TCmdItem write = entry.WriteCommand(value);
        EXPECT_EQ(TParamCatalogue::KeyOfCommand(write), key);
        EXPECT_EQ(CommandValue(write), value);
        const QByteArrayList replies = target.ReceiveTexts(Frame(CommandText(write)));
        ASSERT_EQ(replies.size(), 1) << CommandText(write).constData();
        EXPECT_EQ(ReplyValue(replies.first()), value);
    }
    for (const TCmdItem& read : TParamCatalogue::BackupCommands()) {
        if (read.Kind == 0 && read.ParamNo != 1) {
            EXPECT_EQ(target.ReceiveTexts(Frame(CommandText(read))),
                      source.ReceiveTexts(Frame(CommandText(read))));
        }
    }
}

namespace {

// A value each parameter can hold.
QString GoodValue(const TParamEntry& entry) {
    static const QHash<QString, QString> values = {
        {"T01", "0,VAN 42,4,24,85"},
        {"P01", "V2.3.1"},
        {"P03", "+8613800138000"},
        {"P04", "60,10,1"},
        {"P05", "10.0.0.1,9000,CMNET,user,secret"},
        {"P07", "2"},
        {"P12", "-60"},
        {"P17", QString::fromUtf8("Zürich 42")}, // Latin-1 travels
        {"P21", "2,480,1020"},
        {"P31", "630"},
    };
    if (entry.ParamNo == 8) {
        return QStringLiteral("%1,11354.0000,2230.0000,-11406.0000,2224.0000,HOME")
            .arg(entry.Index);
    }
    if (entry.ParamNo == 11) {
        return QStringLiteral("%1,13900000003").arg(entry.Index);
    }
    if (entry.ParamNo == 22) {
        return QStringLiteral("%1,1,0,1,0").arg(entry.Index);
    }
    return values.value(entry.Key, QStringLiteral("1"));
}

QByteArray ReplyOf(const TParamEntry& entry, const QString& value) {
    const QByteArray head = entry.Key.section('.', 0, 0).toLatin1();
    return "(0123456789," + head + ',' + value.toLatin1() + ')';
}

} // namespace

// Every field of every parameter, as a value to write and as a device's reply: whatever would
// end or split a command or its frame is refused, naming the key and the field.
TEST(ValueGate, EveryFieldOfEveryParameterRefusesWhatWouldSplitACommand) {
    const QString hostile[] = {"x!!(P20)!", "A)B", "(P20)", QString(QChar(0)),
                               QString(QChar(0x85))};
    for (const TParamEntry& entry : TParamCatalogue::Entries()) {
        SCOPED_TRACE(entry.Key.toStdString());
        const QString good = GoodValue(entry);
        EXPECT_EQ(TParamCatalogue::CheckReply(ReplyOf(entry, good)), std::nullopt);
        if (entry.Writable) {
            EXPECT_EQ(TParamCatalogue::CheckCommand(entry.WriteCommand(good)), std::nullopt);
        }
        if (entry.Readable) {
            EXPECT_EQ(TParamCatalogue::CheckCommand(entry.ReadCommand()), std::nullopt);
        }
        const QStringList fields = good.split(',');
        for (int field = entry.Index > 0 ? 1 : 0; field < fields.size(); ++field) {
            for (const QString& probe : hostile) {
                QStringList changed = fields;
                changed[field] = probe;
                const QString value = changed.join(',');
                const auto reply = TParamCatalogue::CheckReply(ReplyOf(entry, value));
                ASSERT_TRUE(reply) << field << ": " << value.toStdString();
                EXPECT_EQ(reply->Key, entry.Key);
                if (entry.Writable) {
                    const auto write = TParamCatalogue::CheckCommand(entry.WriteCommand(value));
                    ASSERT_TRUE(write) << value.toStdString();
                    EXPECT_TRUE(write->Message().startsWith(entry.Key)) << value.toStdString();
                }
            }
        }
    }
}

TEST(ValueGate, EachRuleSaysWhichFieldAndWhy) {
    struct TCase {
        const char* key;
        QString value;
        const char* message; // nullptr: the value passes
    };
    const TCase cases[] = {
        {"P17", "VAN!!(P20)!", "P17: Another name cannot hold \"!\""},
        {"P17", "A)B", "P17: Another name cannot hold \")\""},
        {"P17", QString(238, 'B'), "P17: Another name holds 238 characters; at most 20 fit"},
        {"P17", "", nullptr},
        {"P03", "+1!", "P03: SMS Primary number cannot hold \"!\""},
        {"P03", QString(26, '1'), "P03: SMS Primary number holds 26 characters; at most 20 fit"},
        {"P03", "13+9", "P03: SMS Primary number takes \"+\" only in front"},
        {"P03", "+", nullptr},
        {"P10", QString(20, '9'), "P10: Low battery must be a whole number from 0 to 100"},
        {"P12", "-721", "P12: Time difference must be a whole number from -720 to 840"},
        {"P12", "6-0", "P12: Time difference must be a whole number from -720 to 840"},
        {"P12", " 60", "P12: Time difference cannot hold \" \""},
        {"P06", "-0", "P06: Track by calling cannot hold \"-\""},
        {"P06", "11", "P06: Track by calling must be 0 (off) or 1 (on)"},
        {"P34", "2", "P34: History data uploading automatically cannot hold \"2\""},
        {"P05", "1.2.3.4,8888,x!!(P03,1,+999)!", "P05: APN cannot hold \"!\""},
        {"P05", "1.2.3.4,,CMNET,,", "P05: Port must be a whole number from 0 to 65535"},
        {"P05", QStringLiteral("1.2.3.4,80,CMNET,,p\x1bw"),
         "P05: APN password cannot hold \"\\x1b\""},
        {"P05", "10.0.0.1,9000", "P05 takes 5 field(s), not 2"},
        {"P21", "2,60", "P21 counts 2 time point(s) but lists 1"},
        {"P21", "2,x,y,z", "P21 counts 2 time point(s) but lists 3"},
        {"P21", "1,60)(P20,1)(P03,1,+999", "P21 counts 1 time point(s) but lists 4"},
        {"P21", "1,0", "P21: Time point must be a whole number from 1 to 1439"},
        {"P21", "x", "P21 must begin with the number of values"},
        {"P21", "0", nullptr},
        {"P11.3", "4,139", "P11.3 must begin with 3"},
        {"P11.3", "3,139x", "P11.3: Authorized number 3 cannot hold \"x\""},
        {"P22.2", "2,1,1,1,",
         "P22.2: Battery alarm of authorized number 2 must be 0 (off) or 1 (on)"},
        {"P08.5", "5,1.2.3,0,0,0,",
         "P08.5: Left top longitude must be degrees and minutes, such as 11354.0000"},
        {"P08.5", "5,0,0,0,0,H!!(P20)!", "P08.5: Geo-fence name cannot hold \"!\""},
        {"P08.5", "5,0,0,0,0,", nullptr},
        {"P14", "7", "P14: Speaker volume must be a whole number from 0 to 6"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.key + (": " + c.value).toStdString());
        const auto fault = TParamCatalogue::CheckValue(
            *TParamCatalogue::Find(QString::fromLatin1(c.key)), c.value);
        EXPECT_EQ(fault ? fault->Message().toStdString() : std::string(),
                  c.message ? c.message : "");
    }

    // Commands, replies and cells of a values file ask the same rules.
    EXPECT_EQ(TParamCatalogue::CheckCommand({16, 0, "", 0})->Message(),
              "(P16,0) is no command the program sends");
    EXPECT_EQ(TParamCatalogue::CheckCommand({17, 0, ",x", 0})->Message(),
              "(P17,0,x) is no command the program sends");
    EXPECT_EQ(TParamCatalogue::CheckCommand({20, 1, "", 0}), std::nullopt);
    EXPECT_EQ(TParamCatalogue::CheckCommand({1, 0, "", 1}), std::nullopt);
    EXPECT_EQ(TParamCatalogue::CheckReply("(0123456789,P05,1.2.3.4)")->Message(),
              "P05 takes 5 field(s), not 1");
    EXPECT_EQ(TParamCatalogue::CheckReply("(0123456789,T01,0,VAN,4,24,850)")->Message(),
              "T01: Battery level must be a whole number from 0 to 100");
    EXPECT_EQ(TParamCatalogue::CheckReply("(0123456789,P16,99999)"), std::nullopt);
    EXPECT_EQ(TParamCatalogue::CheckSetting("p17", "x!!(P20)!", "values.csv: line 3"),
              "values.csv: line 3: P17: Another name cannot hold \"!\"");
    EXPECT_EQ(TParamCatalogue::CheckSetting("P20", "", "values.csv: line 4"),
              "values.csv: line 4: P20 is no parameter a snapshot can hold");
    EXPECT_EQ(TParamCatalogue::CheckSetting("P01", "V2"), "P01 cannot be written");
    EXPECT_EQ(TParamCatalogue::CheckSetting("P09", "300"), std::nullopt);
}

// While typing, a field refuses only what more typing cannot mend.
TEST(ValueGate, Typing) {
    struct TCase {
        const char* key;
        int field;
        const char* typed;
        bool refused;
    };
    const TCase cases[] = {
        {"P12", 0, "-", false},    {"P12", 0, "-7", false},     {"P12", 0, "-7200", true},
        {"P12", 0, "8-", true},    {"P05", 1, "-", true},       {"P05", 1, "70000", true},
        {"P05", 1, "6553", false}, {"P03", 0, "+", false},      {"P03", 0, "1+", true},
        {"P05", 2, "CM!", true},   {"P06", 0, "10", true},      {"P08.1", 1, "-1.2.", true},
        {"P04", 0, "0", false},    {"P17", 0, "VAN 42", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + c.typed);
        EXPECT_EQ(TParamCatalogue::FieldRule(QString::fromLatin1(c.key), c.field)
                      ->CheckTyping(c.typed)
                      .has_value(),
                  c.refused);
    }
    EXPECT_EQ(TParamCatalogue::FieldRule(u"P11.4", 1)->CaptionFor(4), "Authorized number 4");
}

// Values compared as the device stores them: numbers and corners by value, texts exactly.
TEST(Catalogue, TheSameValueAtTheDevicesPrecision) {
    const struct {
        const char* key;
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"P08.7", "7,000.0000,000.0000,000.0000,000.0000,", "7,0,0,0,0,", true},
        {"P08.5", "5,11354.0000,2230.0000,11406.0000,2224.0000,HOME",
         "05,11354,2230.0,11406.00000,2224.0000,HOME", true},
        {"P08.5", "5,11354.0000,2230.0000,11406.0000,2224.0000,HOME",
         "5,11354.0001,2230.0000,11406.0000,2224.0000,HOME", false},
        {"P08.5", "5,1,2,3,4,HOME", "5,1,2,3,4,home", false}, // names exactly
        {"P08.5", "5,-2230.0000,0,0,0,", "5,2230.0000,0,0,0,", false},
        {"P12", "060", "60", true},
        {"P12", "-60", "-060", true},
        {"P04", "60,0,1", "60,00,1", true},
        {"P04", "60,0,1", "60,0", false}, // another field count
        {"P03", "+8613800138000", "+8613800138000", true},
        {"P03", "08613800", "8613800", false}, // a number to dial is text
        {"P11.2", "2,0139", "02,0139", true},
        {"P11.2", "2,0139", "2,139", false},
        {"P05", "1.2.3.4,08888,CMNET,,", "1.2.3.4,8888,CMNET,,", true},
        {"P05", "1.2.3.4,8888,CMNET,,", "1.2.3.04,8888,CMNET,,", false},
        {"P17", "VAN", "VAN ", false},
        {"P21", "2,480,1020", "2,480,1020", true},
        {"P10", "abc", "abc", true}, // no number: compared as text
        {"P10", "abc", "0", false},
    };
    for (const auto& c : cases) {
        const TParamEntry& entry = *TParamCatalogue::Find(QString::fromLatin1(c.key));
        EXPECT_EQ(TParamCatalogue::SameValue(entry, c.a, c.b), c.same)
            << c.key << " " << c.a << " / " << c.b;
    }
    // A write's echo, by the command it answers.
    EXPECT_TRUE(TParamCatalogue::SameWrite(
        TCmdItem{8, kCmdWrite, ",9,000.0000,000.0000,000.0000,000.0000,", kCmdParam},
        "9,0,0,0,0,"));
    EXPECT_FALSE(TParamCatalogue::SameWrite(TCmdItem{3, kCmdWrite, ",+86", kCmdParam}, "86"));
    EXPECT_TRUE(TParamCatalogue::SameWrite(TCmdItem{20, kCmdWrite, "", kCmdParam}, ""));
}
