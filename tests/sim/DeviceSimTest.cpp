#include "SimTestSupport.h"
#include "uDeviceSim.h"

#include <gtest/gtest.h>

namespace {

// What a device answers to one command frame, as reply texts.
QByteArrayList Ask(TDeviceSim& device, const QByteArray& command) {
    return device.ReceiveTexts(Frame(command));
}

// Every stored value of every parameter and key, to see that nothing changed.
QList<QByteArrayList> AllValues(const TDeviceSim& device) {
    QList<QByteArrayList> all;
    for (int number = 0; number < 40; ++number) {
        for (int key = 0; key <= 64; ++key) {
            all.append(device.Values(number, key));
        }
    }
    return all;
}

struct TExchange {
    const char* command;
    const char* reply;
};

} // namespace

// ---- frame cutting ----

TEST(DeviceSimFrames, AnswersAGoodFrameWithAFrame) {
    TDeviceSim device;
    EXPECT_EQ(device.Receive(Frame("(P03,0)")), QList<QByteArray>{Frame("(0123456789,P03,)")});
    EXPECT_EQ(device.Answered(), 1);
}

TEST(DeviceSimFrames, SkipsABadFrameAndAnswersTheNextOne) {
    const QByteArray good = Frame("(P03,0)"); // 21 06 09 07 (P03,0) 01 89 21
    QByteArray badSum = good;
    badSum[12] = char(0x88);
    QByteArray badHeader = good;
    badHeader[2] = 0x08;
    QByteArray shortLength = good;
    shortLength[3] = 0x06;
    QByteArray longLength = good;
    longLength[3] = 0x30; // waits for bytes that belong to the next frame
    QByteArray noEnd = good;
    noEnd[13] = 'x';
    QByteArray badEscape = good;
    badEscape.replace(3, 1, "\x3D\x05");
    const QByteArray cutShort = good.left(8);

    for (const QByteArray& bad :
         {badSum, badHeader, shortLength, longLength, noEnd, badEscape, cutShort}) {
        SCOPED_TRACE(testing::PrintToString(bad));
        TDeviceSim device;
        EXPECT_EQ(device.ReceiveTexts(bad + Frame("(P07,0)")),
                  QByteArrayList{"(0123456789,P07,1)"});
        EXPECT_EQ(device.BadFrames(), 1);
        EXPECT_EQ(device.Answered(), 1);
    }
}

TEST(DeviceSimFrames, ResynchronisesAfterGarbage) {
    TDeviceSim device;
    const QByteArray garbage("xy\0(P03,0)!!\x06!", 14);
    EXPECT_EQ(device.ReceiveTexts(garbage + Frame("(P06,0)") + "zz" + Frame("(P07,0)")),
              (QByteArrayList{"(0123456789,P06,0)", "(0123456789,P07,1)"}));
}

TEST(DeviceSimFrames, WaitsForTheRestOfASplitFrame) {
    TDeviceSim device;
    const QByteArray frame = Frame("(P10,0)");
    for (qsizetype i = 0; i + 1 < frame.size(); ++i) {
        EXPECT_TRUE(device.Receive(frame.mid(i, 1)).isEmpty()) << "after byte " << i;
    }
    EXPECT_EQ(device.ReceiveTexts(frame.right(1)), QByteArrayList{"(0123456789,P10,20)"});
}

TEST(DeviceSimFrames, UndoesTheEscapesOfLengthAndChecksum) {
    // Bodies of 33 and 61 bytes escape their length as 3D 1C and 3D 00; the checksums
    // 0x023D and 0x0321 escape their low byte.
    const QByteArray prefix = "(P05,1,1.2.3.4,80,";
    const QByteArray apn33(33 - prefix.size() - 3, 'a');
    const QByteArray apn61(61 - prefix.size() - 3, 'b');
    const struct {
        QByteArray command;
        QByteArray escape;
        qsizetype at;
        QByteArray reply;
    } cases[] = {
        {prefix + apn33 + ",,)", "\x3D\x1C", 3, "(0123456789,P05,1.2.3.4,80," + apn33 + ",,)"},
        {prefix + apn61 + ",,)", QByteArray("\x3D\x00", 2), 3,
         "(0123456789,P05,1.2.3.4,80," + apn61 + ",,)"},
        {"(P12,1,105)", QByteArray("\x3D\x00", 2), 16, "(0123456789,P12,105)"},
        {"(P03,1,1019999)", "\x3D\x1C", 20, "(0123456789,P03,1019999)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command.constData());
        const QByteArray frame = Frame(c.command);
        ASSERT_EQ(frame.mid(c.at, 2), c.escape);
        TDeviceSim device;
        EXPECT_EQ(device.ReceiveTexts(frame), QByteArrayList{c.reply});
    }
}

// ---- the catalogue ----

// Read the protocol's way, every "!" ends a frame: a command hidden in another's value is run,
// and the rest of the line is read out of step. Read by its length, the frame is one command.
TEST(DeviceSimFrames, ProtocolFramesCutAtEveryDelimiter) {
    const QByteArray hidden = Frame("(P17,1,x!!(P20)!)") + Frame("(P03,0)") + Frame("(P17,0)");
    TDeviceSim byLength;
    ASSERT_TRUE(byLength.Preset("(P17,1,VAN)"));
    byLength.ReceiveTexts(hidden);
    EXPECT_EQ(byLength.Received(), (QByteArrayList{"(P17,1,x!!(P20)!)", "(P03,0)", "(P17,0)"}));
    EXPECT_EQ(byLength.Values(17), QByteArrayList{"VAN"});

    TDeviceSim byDelimiters;
    byDelimiters.SetProtocolFrames(true);
    ASSERT_TRUE(byDelimiters.Preset("(P17,1,VAN)"));
    byDelimiters.ReceiveTexts(hidden);
    EXPECT_EQ(byDelimiters.Received().first(), "(P20)");
    EXPECT_EQ(byDelimiters.Values(17), QByteArrayList{""}); // factory default
    // Good frames, one after another, are read as sent, a 40-byte body (length "(") too.
    TDeviceSim clean;
    clean.SetProtocolFrames(true);
    const QByteArray forty = "(P05,1,10.0.0.1,9000,CMNET,user,secret7)";
    ASSERT_EQ(forty.size(), 40);
    EXPECT_EQ(clean.ReceiveTexts(Frame(forty) + Frame("(P17,0)")).size(), 2);
    EXPECT_EQ(clean.Received(), (QByteArrayList{forty, "(P17,0)"}));
}

TEST(DeviceSimCatalogue, ReadsGiveTheFactoryValuesInTheReplyLayout) {
    const TExchange reads[] = {
        {"(P01,0)", "(0123456789,P01,TERVO_SIM_V1.0)"},
        {"(P03,0)", "(0123456789,P03,)"},
        {"(P04,0)", "(0123456789,P04,30,0,1)"},
        {"(P05,0)", "(0123456789,P05,123.123.123.123,8888,CMNET,,)"},
        {"(P06,0)", "(0123456789,P06,0)"},
        {"(P07,0)", "(0123456789,P07,1)"},
        {"(P08,0,1)", "(0123456789,P08,1,0,0,0,0,)"},
        {"(P08,0,64)", "(0123456789,P08,64,0,0,0,0,)"},
        {"(P09,0)", "(0123456789,P09,300)"},
        {"(P10,0)", "(0123456789,P10,20)"},
        {"(P11,0,1)", "(0123456789,P11,1,)"},
        {"(P11,0,5)", "(0123456789,P11,5,)"},
        {"(P12,0)", "(0123456789,P12,-60)"},
        {"(P14,0)", "(0123456789,P14,3)"},
        {"(P16,0)", "(0123456789,P16,85)"},
        {"(P17,0)", "(0123456789,P17,)"},
        {"(P18,0)", "(0123456789,P18,0)"},
        {"(P21,0)", "(0123456789,P21,0)"},
        {"(P22,0,3)", "(0123456789,P22,3,1,1,1,1)"},
        {"(P25,0)", "(0123456789,P25,0)"},
        {"(P31,0)", "(0123456789,P31,630)"},
        {"(P34,0)", "(0123456789,P34,0)"},
        {"(T01,0)", "(0123456789,T01,0,,4,24,85)"},
        {"(P20)", "(0123456789,P20)"},
        // Numbers the device does not know: the number alone.
        {"(P00,0)", "(0123456789,P00)"},
        {"(P13,0)", "(0123456789,P13)"},
        {"(P99,1,5)", "(0123456789,P99)"},
        {"(T02,0)", "(0123456789,T02)"},
    };
    for (const TExchange& read : reads) {
        SCOPED_TRACE(read.command);
        TDeviceSim device;
        EXPECT_EQ(Ask(device, read.command), QByteArrayList{read.reply});
    }
}

TEST(DeviceSimCatalogue, WritesStoreAndEchoWhatAReadGives) {
    const struct {
        const char* write;
        const char* read;
        const char* reply;
    } writes[] = {
        {"(P03,1,+8613800138000)", "(P03,0)", "(0123456789,P03,+8613800138000)"},
        {"(P04,1,300,5,0)", "(P04,0)", "(0123456789,P04,300,5,0)"},
        {"(P05,1,10.0.0.1,9000,internet,me,secret)", "(P05,0)",
         "(0123456789,P05,10.0.0.1,9000,internet,me,secret)"},
        {"(P06,1,1)", "(P06,0)", "(0123456789,P06,1)"},
        {"(P07,1,2)", "(P07,0)", "(0123456789,P07,2)"},
        {"(P08,1,7,11356.1234,2255.0753,-11400.5000,-2200.0000,Depot_1)", "(P08,0,7)",
         "(0123456789,P08,7,11356.1234,2255.0753,-11400.5000,-2200.0000,Depot_1)"},
        {"(P09,1,500)", "(P09,0)", "(0123456789,P09,500)"},
        {"(P10,1,30)", "(P10,0)", "(0123456789,P10,30)"},
        {"(P11,1,2,13912345678)", "(P11,0,2)", "(0123456789,P11,2,13912345678)"},
        {"(P11,1,3,0)", "(P11,0,3)", "(0123456789,P11,3,0)"},
        {"(P12,1,480)", "(P12,0)", "(0123456789,P12,480)"},
        {"(P14,1,6)", "(P14,0)", "(0123456789,P14,6)"},
        {"(P17,1,CAR 1)", "(P17,0)", "(0123456789,P17,CAR 1)"},
        {"(P18,1,600)", "(P18,0)", "(0123456789,P18,600)"},
        {"(P21,1,3,1,510,1020)", "(P21,0)", "(0123456789,P21,3,1,510,1020)"},
        {"(P22,1,2,1,0,1,0)", "(P22,0,2)", "(0123456789,P22,2,1,0,1,0)"},
        {"(P25,1,1)", "(P25,0)", "(0123456789,P25,1)"},
        {"(P31,1,1000)", "(P31,0)", "(0123456789,P31,1000)"},
        {"(P34,1,1)", "(P34,0)", "(0123456789,P34,1)"},
        // Numbers are kept as numbers.
        {"(P14,1,05)", "(P14,0)", "(0123456789,P14,5)"},
        {"(P12,1,-060)", "(P12,0)", "(0123456789,P12,-60)"},
        {"(P08,1,09,0,0,0,0,)", "(P08,0,9)", "(0123456789,P08,9,0,0,0,0,)"},
    };
    for (const auto& w : writes) {
        SCOPED_TRACE(w.write);
        TDeviceSim device;
        EXPECT_EQ(Ask(device, w.write), QByteArrayList{w.reply});
        EXPECT_EQ(Ask(device, w.read), QByteArrayList{w.reply});
    }
}

TEST(DeviceSimCatalogue, KeyedWritesTouchOnlyTheirKey) {
    TDeviceSim device;
    Ask(device, "(P08,1,7,11356.1234,2255.0753,11400.0000,2200.0000,Home)");
    Ask(device, "(P11,1,2,+4917012345)");
    Ask(device, "(P22,1,2,0,1,0,1)");
    Ask(device, "(P21,1,2,30,1410)");
    Ask(device, "(P18,1,120)");
    Ask(device, "(P14,1,0)");

    EXPECT_EQ(device.Values(8, 7),
              (QByteArrayList{"11356.1234", "2255.0753", "11400.0000", "2200.0000", "Home"}));
    EXPECT_EQ(device.Values(8, 6), (QByteArrayList{"0", "0", "0", "0", ""}));
    EXPECT_EQ(device.VipNumber(2), "+4917012345");
    EXPECT_EQ(device.VipNumber(1), "");
    EXPECT_EQ(device.VipFlags(2), (std::array<bool, 4>{false, true, false, true}));
    EXPECT_EQ(device.VipFlags(3), (std::array<bool, 4>{true, true, true, true}));
    EXPECT_EQ(device.TimePoints(), (QList<int>{30, 1410}));
    EXPECT_EQ(device.KeepAlive(), 120);
    EXPECT_EQ(device.Volume(), 0);
    EXPECT_EQ(device.Answered(), 6);
}

TEST(DeviceSimCatalogue, AnAlteredKeyStoresAndEchoesItsOwnValue) {
    TDeviceSim device;
    ASSERT_TRUE(device.SetAlteration("P03", "+86138"));
    ASSERT_TRUE(device.SetAlteration("P11.3", "139"));
    EXPECT_EQ(Ask(device, "(P03,1,+8613800138000)"), QByteArrayList{"(0123456789,P03,+86138)"});
    EXPECT_EQ(Ask(device, "(P03,0)"), QByteArrayList{"(0123456789,P03,+86138)"});
    EXPECT_EQ(Ask(device, "(P11,1,3,+4917012345)"), QByteArrayList{"(0123456789,P11,3,139)"});
    EXPECT_EQ(Ask(device, "(P11,1,2,+4917012345)"),
              QByteArrayList{"(0123456789,P11,2,+4917012345)"});
    // Only writable parameters, with a key exactly where the parameter has one.
    for (const char* key : {"P01", "P11", "P11.6", "P03.1", "X03", "P99", "", "P11.3.1"}) {
        EXPECT_FALSE(device.SetAlteration(key, "1")) << key;
    }
}

TEST(DeviceSimCatalogue, FactoryDefaultRestoresTheSettingsOnly) {
    TDeviceSim device;
    const auto factory = AllValues(device);
    const QByteArray version = device.Version();
    ASSERT_TRUE(device.SetId("42"));
    ASSERT_TRUE(device.SetVersion("V2.0"));
    device.SetBattery(40);
    for (const char* write : {"(P03,1,123)", "(P05,1,a,1,b,c,d)", "(P08,1,64,1,2,3,4,x)",
                              "(P11,1,5,99)", "(P21,1,1,60)", "(P22,1,1,0,0,0,0)", "(P17,1,A)"}) {
        ASSERT_EQ(Ask(device, write).size(), 1) << write;
    }

    EXPECT_EQ(Ask(device, "(P20)"), QByteArrayList{"(42,P20)"});
    EXPECT_EQ(device.Version(), "V2.0");
    EXPECT_EQ(device.Battery(), 40);
    device.SetVersion(version); // put back what P20 rightly left alone
    device.SetBattery(85);
    EXPECT_EQ(AllValues(device), factory);

    Ask(device, "(P14,1,6)");
    EXPECT_EQ(Ask(device, "(P20,1,junk)"), QByteArrayList{"(42,P20)"}); // flag and args ignored
    EXPECT_EQ(device.Volume(), 3);
}

TEST(DeviceSimCatalogue, StatusReportCarriesAliasSignalAndBattery) {
    TDeviceSim device;
    Ask(device, "(P17,1,CAR1)");
    device.SetSignal(7, 20);
    device.SetBattery(55);
    EXPECT_EQ(device.StatusReport(), Frame("(0123456789,T01,0,CAR1,7,20,55)"));
    EXPECT_EQ(Ask(device, "(T01,0)"), QByteArrayList{"(0123456789,T01,0,CAR1,7,20,55)"});
    EXPECT_EQ(Ask(device, "(P16,0)"), QByteArrayList{"(0123456789,P16,55)"});
    // An alias too long to travel with the rest: no report, no crash.
    ASSERT_TRUE(device.SetAlteration("P17", QByteArray(238, 'B')));
    Ask(device, "(P17,1,CAR2)");
    EXPECT_EQ(Ask(device, "(T01,0)"), QByteArrayList());
    device.SetBattery(150);
    EXPECT_EQ(device.Battery(), 100);
    device.SetBattery(-3);
    EXPECT_EQ(device.Battery(), 0);
}

TEST(DeviceSimCatalogue, IdentityAndVersionMustTravelAsOneField) {
    TDeviceSim device;
    EXPECT_TRUE(device.SetId("98765432109876543210"));
    for (const QByteArray& bad : {QByteArray(), QByteArray("12a4"), QByteArray(21, '1'),
                                  QByteArray("-1"), QByteArray(" 12")}) {
        EXPECT_FALSE(device.SetId(bad)) << bad.constData();
    }
    EXPECT_EQ(device.Id(), "98765432109876543210");
    EXPECT_FALSE(device.SetVersion("V(2)"));
    EXPECT_FALSE(device.SetVersion("V2!"));
    EXPECT_FALSE(device.SetVersion(QByteArray(65, 'v')));
    EXPECT_EQ(device.Version(), "TERVO_SIM_V1.0");
}

TEST(DeviceSimCatalogue, IgnoresCommandsThatDoNotFitTheirParameter) {
    const QByteArrayList malformed =
        QByteArray("P03,0|()|(p03,0)|(P3,0)|(X03,0)|(P03x,0)|(P,0)|" // not a command
                   "(P03)|(P03,2)|(P03,)|(T01)|"                     // no flag
                   "(P03,1)|(P05,1,1.2.3.4,8888,CMNET)|(P04,1,30,0,1,9)|(P03,0,5)|(T01,0,5)|"
                   "(P08,0)|(P11,1,2)|" // arguments missing or extra
                   "(P08,0,0)|(P08,0,65)|(P08,1,65,0,0,0,0,)|(P11,0,6)|(P11,0,0)|(P11,0,x)|"
                   "(P22,1,9,1,1,1,1)|" // keys
                   "(P14,1,7)|(P14,1,abc)|(P14,1,)|(P14,1,+3)|(P14,1, 3)|(P14,1,$3)|(P07,1,4)|"
                   "(P06,1,2)|(P22,1,1,1,1,2,1)|(P12,1,841)|(P10,1,101)|(P05,1,a,65536,b,c,d)|"
                   "(P04,1,0,0,1)|(P21,1,2,60)|(P21,1,1,1440)|(P21,1,1,0)|(P21,1,x)|(P21,1)|"
                   "(P08,1,1,12x.5,0,0,0,a)|(P08,1,1,0,0,0,.5,a)|(P08,1,1,0,0,0,0,a(1))|"
                   "(P08,1,1,0,0,0,0,abcdefghijklmnopqrstu)|(P17,1,wow!)|(P17,1,tab\there)|"
                   "(P03,1,123-456)|(P03,1,12 34)|(P03,1,++1)|" // values
                   "(P01,1,V2)|(P16,1,50)|(T01,1)")             // read-only
            .split('|');
    TDeviceSim device;
    const auto factory = AllValues(device);
    int count = 0;
    for (const QByteArray& command : malformed) {
        SCOPED_TRACE(command.constData());
        EXPECT_TRUE(Ask(device, command).isEmpty());
        EXPECT_EQ(device.Ignored(), ++count);
    }
    EXPECT_EQ(device.Answered(), 0);
    EXPECT_EQ(device.BadFrames(), 0);
    EXPECT_EQ(AllValues(device), factory);
    // Still in step afterwards.
    EXPECT_EQ(Ask(device, "(P07,0)"), QByteArrayList{"(0123456789,P07,1)"});
}

TEST(DeviceSimCatalogue, TranscriptShowsCommandsAndWhatWasSkipped) {
    TDeviceSim device;
    QStringList lines;
    device.SetTranscript([&](const QString& line) { lines.append(line); });
    QByteArray badSum = Frame("(P03,0)");
    badSum[12] = 0;
    device.Receive(badSum + Frame("(P11,0,9)") + Frame("(P03,0)"));
    // One note for the bad frame, not one for each "!" tried while skipping it.
    EXPECT_EQ(lines, (QStringList{"-- frame skipped: bad checksum", "<< (P11,0,9)",
                                  "-- ignored (P11,0,9): key outside 1-5", "<< (P03,0)"}));
}

// ---- the frame limit ----

TEST(DeviceSimLimits, SendsOnlyTheTimePointsThatFitInAFrame) {
    QByteArray command = "(P21,1,48";
    for (int minute = 1000; minute < 1048; ++minute) {
        command += ',' + QByteArray::number(minute);
    }
    command += ')';
    ASSERT_LE(command.size(), kMaxFrameBody);

    TDeviceSim device;
    const QByteArrayList written = Ask(device, command);
    ASSERT_EQ(written.size(), 1);
    const QByteArray& reply = written.first();
    EXPECT_LE(reply.size(), kMaxFrameBody);
    EXPECT_GT(reply.size() + 5, kMaxFrameBody) << "as many points as fit";
    EXPECT_TRUE(reply.startsWith("(0123456789,P21,48,1000,1001,"));
    EXPECT_TRUE(reply.endsWith(')'));
    EXPECT_EQ(device.TimePoints().size(), 48) << "the device keeps them all";
    EXPECT_EQ(Ask(device, "(P21,0)"), written);
}

TEST(DeviceSimLimits, LongestValuesStillFitWithTheLongestIdentity) {
    TDeviceSim device;
    ASSERT_TRUE(device.SetId(QByteArray(20, '9')));
    const QByteArray t40(40, 't');
    const QByteArray t32(32, 'u');
    const QByteArray coord = "-12345678.1234";
    const QByteArray commands[] = {
        "(P05,1," + t40 + ",65535," + t40 + ',' + t32 + ',' + t32 + ')',
        "(P08,1,64," + coord + ',' + coord + ',' + coord + ',' + coord + ',' + QByteArray(20, 'n') +
            ')',
        "(P17,1," + QByteArray(20, 'a') + ')',
    };
    for (const QByteArray& command : commands) {
        SCOPED_TRACE(command.constData());
        EXPECT_EQ(device.Receive(Frame(command)).size(), 1);
    }
    EXPECT_TRUE(device.SetVersion(QByteArray(64, 'v')));
    EXPECT_EQ(device.Receive(Frame("(P01,0)")).size(), 1);
    EXPECT_EQ(device.Receive(Frame("(T01,0)")).size(), 1);
}
