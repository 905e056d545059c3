#include "uBatchOutcome.h"
#include "uDeviceSim.h"
#include "uParamCatalogue.h"
#include "uSnapshot.h"
#include "uUtils.h"

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

TEST(Catalogue, ValuesThatCannotBeWritten) {
    const auto fault = [](const char* key, const QString& value) {
        return TParamCatalogue::CheckValue(*TParamCatalogue::Find(QString::fromLatin1(key)), value);
    };
    EXPECT_EQ(fault("P05", "10.0.0.1,9000,CMNET,,"), std::nullopt);
    EXPECT_EQ(fault("P03", ""), std::nullopt);
    EXPECT_EQ(fault("P21", "0"), std::nullopt);
    EXPECT_EQ(fault("P17", QString::fromUtf8("Zürich")), std::nullopt); // Latin-1 travels
    EXPECT_TRUE(fault("P05", "10.0.0.1,9000"));
    EXPECT_TRUE(fault("P04", "60,10,1,7"));
    EXPECT_TRUE(fault("P11.3", "4,13900000003"));
    EXPECT_TRUE(fault("P08.2", "x,0,0,0,0,"));
    EXPECT_TRUE(fault("P21", "two,480"));
    EXPECT_TRUE(fault("P17", QString::fromUtf8("東京")));
    EXPECT_TRUE(fault("P17", "A\tB"));
    EXPECT_TRUE(fault("P17", QString(260, QLatin1Char('A'))));
}
