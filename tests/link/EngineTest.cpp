#include "FakeCommPort.h"
#include "uEngineHost.h"
#include "uExchangeEngine.h"
#include "uLinkError.h"
#include "uUtils.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Records what the engine shows; by default applies every reply the way the real
// handler does, by advancing the queue.
class TRecordingHost : public IEngineHost {
public:
    void AddLog(const QString& line) override { Log.append(line); }
    void ShowProgress(int total, int count) override { Progress.append({total, count}); }
    void SetDeviceButtons(bool enabled) override { ButtonsEnabled = enabled; }
    void HandleReply(const QByteArray& reply) override {
        Replies.append(reply);
        if (OnReply) {
            OnReply(reply);
        } else {
            Engine->NextCmd();
        }
    }
    QString TranslateText(const QString& text) override { return text; }

    // The part of each log line after the time stamp, e.g. ">> Send : (P03,0)".
    QStringList Lines() const {
        QStringList out;
        for (const QString& line : Log) {
            const qsizetype at = line.indexOf(QLatin1String(" >> ")) >= 0
                                     ? line.indexOf(QLatin1String(" >> "))
                                     : line.indexOf(QLatin1String(" << "));
            out.append(at < 0 ? line : line.mid(at + 1));
        }
        return out;
    }

    TExchangeEngine* Engine = nullptr;
    std::function<void(const QByteArray&)> OnReply;
    QStringList Log;
    QList<QPair<int, int>> Progress;
    QList<QByteArray> Replies;
    bool ButtonsEnabled = false;
};

class EngineTest : public ::testing::Test {
protected:
    EngineTest() {
        Host.Engine = &Engine;
        Engine.SetTimingForTests(60'000, 1); // ticks only when a test calls them
        Port.Open();
    }

    // The command texts written so far, unframed.
    QStringList Sent() const { return Port.WrittenTexts(); }

    void Queue(std::initializer_list<int> params) {
        for (const int p : params) {
            Engine.AddCmd(p, 0, QString(), 0);
        }
    }

    static QByteArray Reply(const char* text) { return EncodeFrame(text).value(); }

    TFakeCommPort Port;
    TRecordingHost Host;
    TExchangeEngine Engine{Port, Host};
};

} // namespace

TEST_F(EngineTest, FormatsCommandTextsByKind) {
    Engine.SendCmd(20, 1, QStringLiteral(",junk"), 1);
    Engine.SendCmd(1, 0, QString(), 1);
    Engine.SendCmd(9, 1, QStringLiteral(",300"), 0);
    Engine.SendCmd(11, 0, QStringLiteral(",3"), 0);
    EXPECT_EQ(Sent(), (QStringList{"(P20)", "(T01,0)", "(P09,1,300)", "(P11,0,3)"}));
    EXPECT_EQ(Port.Written.first(), QByteArray::fromHex("2106090528503230290117 21"));
    // The send line follows the write and carries the unframed text.
    EXPECT_EQ(Host.Lines().first(), ">> Send : (P20)");
}

TEST_F(EngineTest, SendsABatchStrictlyOneAfterAnotherAndEndsIdle) {
    Queue({3, 17, 10});
    Engine.StartSend(true);
    EXPECT_EQ(Sent(), QStringList{"(P03,0)"});
    EXPECT_TRUE(Engine.IsBusy());
    EXPECT_FALSE(Host.ButtonsEnabled);

    Port.Feed(Reply("(1,P03,5)"));
    EXPECT_EQ(Sent(), (QStringList{"(P03,0)", "(P17,0)"}));
    Port.Feed(Reply("(1,P17,CAR)"));
    Port.Feed(Reply("(1,P10,20)"));
    EXPECT_EQ(Sent().size(), 3);
    EXPECT_FALSE(Engine.IsBusy());
    EXPECT_TRUE(Host.ButtonsEnabled);
    EXPECT_EQ(Engine.QueueLength(), 0);
    // One step per answered command, and back to 0 when the batch is done.
    const QList<QPair<int, int>> steps{{3, 0}, {3, 1}, {3, 2}, {3, 3}, {3, 0}};
    EXPECT_EQ(Host.Progress, steps);
    EXPECT_EQ(Host.Lines(),
              (QStringList{">> Send : (P03,0)", "<< Read : (1,P03,5)", ">> Send : (P17,0)",
                           "<< Read : (1,P17,CAR)", ">> Send : (P10,0)", "<< Read : (1,P10,20)"}));
}

// Nothing reaches the window between a write and the reading of its reply; the line of the
// command sent then comes first, and on its own shortly after.
TEST_F(EngineTest, TheLineOfACommandSentComesBeforeWhateverFollowsIt) {
    const auto wait = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    const struct {
        const char* Case;
        std::function<void()> Then;
        QStringList Ends;
    } cases[] = {
        {"its reply",
         [&] { Port.Feed(Reply("(1,P03,5)")); },
         {">> Send : (P03,0)", "<< Read : (1,P03,5)"}},
        {"no answer",
         [&] {
             for (int tick = 0; tick < 3; ++tick) {
                 Engine.tmOverTimeTimer();
             }
         },
         {">> Send : (P03,0)", "!! No answer : (P03,0)"}},
        {"a cancel", [&] { Engine.Cancel(); }, {">> Send : (P03,0)"}},
        {"nothing", [&] { wait(100); }, {">> Send : (P03,0)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Engine.Cancel();
        Host.Log.clear();
        Queue({3, 17});
        Engine.StartSend(true);
        EXPECT_TRUE(Host.Log.isEmpty());
        c.Then();
        const QStringList lines = Host.Lines();
        ASSERT_EQ(lines.size(), c.Ends.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(lines[i].endsWith(c.Ends[i])) << lines[i].toStdString();
        }
    }
}

TEST_F(EngineTest, PausesBeforeEachFollowingCommand) {
    Engine.SetTimingForTests(60'000, 50);
    Queue({3, 17});
    Engine.StartSend(true);
    QElapsedTimer clock;
    clock.start();
    Port.Feed(Reply("(1,P03,5)"));
    EXPECT_GE(clock.elapsed(), 45);
    EXPECT_EQ(Sent().size(), 2);
}

TEST_F(EngineTest, HandlesSeveralRepliesOfOneNotificationInOrder) {
    Queue({3, 17, 10});
    Engine.StartSend(true);
    Port.Feed(Reply("(1,P03,5)") + Reply("(1,P17,CAR)"));
    EXPECT_EQ(Host.Replies, (QList<QByteArray>{"(1,P03,5)", "(1,P17,CAR)"}));
    EXPECT_EQ(Engine.QueueLength(), 1);
}

TEST_F(EngineTest, WaitsForTheClosingDelimiterOfASplitReply) {
    Queue({3});
    Engine.StartSend(true);
    const QByteArray frame = Reply("(1,P03,5)");
    Port.Feed(frame.first(1)); // hands over the line of the command sent
    const int logged = Host.Log.size();
    for (const char byte : frame.sliced(1).chopped(1)) {
        Port.Feed(QByteArray(1, byte));
    }
    EXPECT_EQ(Host.Log.size(), logged);
    EXPECT_TRUE(Host.Replies.isEmpty());
    Port.Feed("!");
    EXPECT_EQ(Host.Replies, QList<QByteArray>{"(1,P03,5)"});
}

TEST_F(EngineTest, GivesUpAtTheThirdTickAndResumesOnALateReply) {
    Queue({3, 17, 10});
    Engine.StartSend(true);
    QSignalSpy timedOut(&Engine, &TExchangeEngine::BatchTimedOut);
    Engine.tmOverTimeTimer();
    Engine.tmOverTimeTimer();
    EXPECT_TRUE(Engine.IsBusy());
    Engine.tmOverTimeTimer();
    EXPECT_FALSE(Engine.IsBusy());
    EXPECT_TRUE(Host.ButtonsEnabled);
    EXPECT_EQ(timedOut.count(), 1);
    EXPECT_EQ(Engine.QueueLength(), 3); // the unanswered command stays at the head
    EXPECT_EQ(Host.Progress.last(), qMakePair(3, 0));

    Port.Feed(Reply("(1,P03,5)"));
    EXPECT_EQ(Sent().last(), "(P17,0)");
    EXPECT_TRUE(Engine.IsBusy());
    EXPECT_EQ(Host.Progress.last(), qMakePair(3, 1));
}

TEST_F(EngineTest, EverySendRestartsTheTimeOutCount) {
    Queue({3, 17});
    Engine.StartSend(true);
    Engine.tmOverTimeTimer();
    Engine.tmOverTimeTimer();
    Port.Feed(Reply("(1,P03,5)"));
    Engine.tmOverTimeTimer();
    Engine.tmOverTimeTimer();
    EXPECT_TRUE(Engine.IsBusy());
}

TEST_F(EngineTest, AReplyWhileIdleIsAppliedAndChangesNothingElse) {
    Port.Feed(Reply("(1,P13,5)"));
    EXPECT_EQ(Host.Replies.size(), 1);
    EXPECT_FALSE(Engine.IsBusy());
    EXPECT_EQ(Engine.BatchLeft(), 0);
    EXPECT_EQ(Engine.ProgressCount(), 0);
    EXPECT_FALSE(Engine.Batch().has_value());
}

TEST_F(EngineTest, ADirectCommandArmsNoTimeOutAndItsReplyLeavesTheQueue) {
    Queue({3, 17});
    Engine.SendCmd(9, 1, QStringLiteral(",300"), 0);
    EXPECT_FALSE(Engine.IsBusy());
    Port.Feed(Reply("(1,P09,300)"));
    EXPECT_EQ(Host.Replies.size(), 1);
    EXPECT_EQ(Engine.QueueLength(), 2);
    EXPECT_EQ(Sent(), QStringList{"(P09,1,300)"});
}

TEST_F(EngineTest, LabelsRepliesByTheLastCommandSent) {
    Engine.SendCmd(3, 1, QStringLiteral(",5"), 0);
    Host.OnReply = [](const QByteArray&) {};
    Port.Feed(Reply("(1,P03,5)"));
    Engine.SendCmd(3, 0, QString(), 0);
    Port.Feed(Reply("(1,P03,5)"));
    const QStringList lines = Host.Lines();
    EXPECT_EQ(lines[1], "<< Write : (1,P03,5)");
    EXPECT_EQ(lines[3], "<< Read : (1,P03,5)");
}

TEST_F(EngineTest, AReplyTheHandlerCannotApplyDoesNotAdvanceNorStopTheLoop) {
    Queue({3, 17, 10});
    Engine.StartSend(true);
    Host.OnReply = [this](const QByteArray& reply) {
        if (reply.contains("bad")) {
            throw std::runtime_error("missing field");
        }
        Engine.NextCmd();
    };
    Port.Feed(Reply("(bad)") + Reply("(1,P03,5)"));
    EXPECT_EQ(Host.Replies.size(), 2);
    EXPECT_EQ(Engine.QueueLength(), 2);
}

TEST_F(EngineTest, ClearingTheQueueAlwaysLogsAnEmptyLine) {
    Engine.ClearQueue();
    Queue({3});
    Port.Feed("!partial");
    Engine.ClearQueue();
    EXPECT_EQ(Host.Log, (QStringList{"", ""}));
    EXPECT_EQ(Engine.QueueLength(), 0);
    EXPECT_TRUE(Engine.RxBuffer().isEmpty());
}

TEST_F(EngineTest, AClosedPortEndsTheBatchWithoutWriting) {
    Queue({3, 17});
    Port.Close();
    Engine.StartSend(true);
    EXPECT_TRUE(Port.Written.isEmpty());
    EXPECT_EQ(Engine.QueueLength(), 0);
    EXPECT_FALSE(Engine.IsBusy());
    EXPECT_FALSE(Host.ButtonsEnabled);        // no device operations on a closed port
    EXPECT_EQ(Host.Lines(), QStringList{""}); // and no line claims a send
}

TEST_F(EngineTest, AnUnpluggedLineIsNeverWrittenAgain) {
    Queue({3, 17});
    Engine.StartSend(true);
    Port.Unplug();
    Engine.NextCmd(); // a reply that was on its way when the plug came out
    EXPECT_EQ(Sent(), QStringList{"(P03,0)"});
    EXPECT_EQ(Engine.QueueLength(), 0);
    EXPECT_FALSE(Engine.IsBusy());
}

TEST_F(EngineTest, StartingAnEmptyQueueSendsNothing) {
    Engine.StartSend(true);
    EXPECT_TRUE(Port.Written.isEmpty());
    EXPECT_FALSE(Engine.IsBusy());
    EXPECT_TRUE(Host.ButtonsEnabled);
    EXPECT_EQ(Host.Progress, (QList<QPair<int, int>>{{0, 0}}));
}

TEST_F(EngineTest, ACommandTooLongForAFrameIsRefusedUnsent) {
    EXPECT_THROW(Engine.SendCmd(17, 1, QString(300, QLatin1Char('x')), 0), TLinkError);
    EXPECT_TRUE(Port.Written.isEmpty());
    EXPECT_TRUE(Host.Log.isEmpty());
}

TEST_F(EngineTest, WriteErrorsReachTheCallerButNotTheReceiveLoop) {
    Queue({3, 17});
    Port.FailWriteWith = QStringLiteral("Write error");
    EXPECT_THROW(Engine.StartSend(true), TLinkError);
    EXPECT_NO_THROW(Port.Feed(Reply("(1,P03,5)")));
    EXPECT_TRUE(Engine.IsBusy()); // the time-out ends it
}

TEST_F(EngineTest, AReplyDuringThePauseIsHandledInsideIt) {
    Engine.SetTimingForTests(60'000, 30);
    Queue({3, 17, 10});
    Engine.StartSend(true);
    bool first = true;
    Host.OnReply = [&](const QByteArray&) {
        if (first) {
            first = false;
            QTimer::singleShot(5, &Port, [&] { Port.Feed(Reply("(1,P17,CAR)")); });
        }
        Engine.NextCmd();
    };
    Port.Feed(Reply("(1,P03,5)"));
    EXPECT_EQ(Host.Replies.size(), 2);
    EXPECT_EQ(Engine.QueueLength(), 1);
    EXPECT_TRUE(Engine.IsBusy());
    EXPECT_EQ(Sent().last(), "(P10,0)");
}

TEST_F(EngineTest, NoiseNeverGrowsTheReceiveBuffer) {
    Port.Feed(QByteArray(200 * 1024, 'x'));
    EXPECT_TRUE(Engine.RxBuffer().isEmpty());
    Port.Feed("!" + QByteArray(TExchangeEngine::kRxBufferLimit + 1, 'y'));
    EXPECT_TRUE(Engine.RxBuffer().isEmpty());
    // A partial frame behind noise is kept and completes.
    const QByteArray frame = Reply("(1,P03,5)");
    Port.Feed(QByteArray(1000, 'z') + frame.first(6));
    EXPECT_EQ(Engine.RxBuffer(), frame.first(6));
    Port.Feed(frame.sliced(6));
    EXPECT_EQ(Host.Replies, QList<QByteArray>{"(1,P03,5)"});
}

TEST_F(EngineTest, CancellingResetsEverything) {
    Queue({3, 17});
    Engine.StartSend(true);
    Engine.CancelQueue();
    EXPECT_EQ(Engine.QueueLength(), 0);
    EXPECT_FALSE(Engine.IsBusy());
    EXPECT_EQ(Host.Progress.last(), qMakePair(0, 0));
}

TEST_F(EngineTest, TypedCommandsAreLoggedBeforeTheWriteAndBypassTheQueue) {
    Engine.SendCmd(3, 1, QStringLiteral(",5"), 0);
    Engine.SendTyped("(P=)");
    EXPECT_EQ(Port.Written.last(), EncodeFrame("(P=)").value());
    EXPECT_FALSE(Engine.IsBusy());
    Engine.SendTyped("");
    EXPECT_EQ(Port.Written.last(), QByteArray::fromHex("21 06 09 00 00 0F 21"));
    EXPECT_TRUE(Host.Lines().last().endsWith(" : "));
    // The reply still carries the label of the last queued-style command.
    Host.OnReply = [](const QByteArray&) {};
    Port.Feed(Reply("(1,P03,5)"));
    EXPECT_EQ(Host.Lines().last(), "<< Write : (1,P03,5)");

    const int logged = Host.Log.size();
    EXPECT_THROW(Engine.SendTyped(QByteArray(256, 'x')), TLinkError);
    EXPECT_EQ(Host.Log.size(), logged);

    Port.Close();
    const int written = Port.Written.size();
    Engine.SendTyped("(T01,0)");
    EXPECT_EQ(Port.Written.size(), written);
    EXPECT_EQ(Host.Lines().mid(logged), (QStringList{">> Send : (T01,0)", ""}));
}

TEST_F(EngineTest, ABatchTheLineRefusesIsAbandonedWithItsError) {
    Queue({3, 17});
    Port.FailWriteWith = QStringLiteral("Write error: gone");
    EXPECT_EQ(Engine.StartBatch(), QString("Write error: gone"));
    EXPECT_EQ(Engine.QueueLength(), 0);
    EXPECT_FALSE(Engine.IsBusy());

    Port.FailWriteWith.clear();
    Queue({3});
    EXPECT_EQ(Engine.StartBatch(), std::nullopt);
    EXPECT_TRUE(Engine.IsBusy());
}

// Nothing that breaks a rule is framed, rules given or not; a reply that answers its command
// but breaks the rules, or that cannot be applied, is unusable and the batch goes on. Control
// bytes reach the transcript escaped.
TEST_F(EngineTest, RulesKeepCommandsOffTheLineAndMarkUnusableReplies) {
    Engine.SetRules(
        [](const TCmdItem& cmd) -> std::optional<QString> {
            return cmd.Args.contains("BAD") ? std::optional<QString>("P17: bad") : std::nullopt;
        },
        [](const QByteArray& reply) -> std::optional<QString> {
            return reply.contains(",x") ? std::optional<QString>("P05 is short") : std::nullopt;
        });
    Host.OnReply = [this](const QByteArray& reply) {
        if (reply.contains(",y")) {
            throw std::runtime_error("the reply has no field 3");
        }
        Engine.NextCmd();
    };
    Engine.AddCmd(3, 1, ",1", 0);
    Engine.AddCmd(17, 1, ",BAD", 0);
    Engine.AddCmd(17, 1, ",x!!(P20)!", 0);
    Engine.AddCmd(5, 0, QString(), 0);
    Engine.AddCmd(5, 0, QString(), 0);
    ASSERT_FALSE(Engine.StartBatch());
    Port.Feed(Reply("(1,P03,1)"));
    EXPECT_EQ(Sent(), (QStringList{"(P03,1,1)", "(P05,0)"}));
    Port.Feed(Reply("(1,P05,x)"));
    Port.Feed(EncodeFrame(QByteArray("(1,P05,y\0z)", 11)).value());
    EXPECT_EQ(Sent(), (QStringList{"(P03,1,1)", "(P05,0)", "(P05,0)"}));

    const TBatchOutcome& outcome = *Engine.Batch();
    EXPECT_EQ(outcome.End, TBatchEnd::Complete);
    EXPECT_EQ(outcome.Refused, 2);
    EXPECT_EQ(outcome.Unusable, 2);
    EXPECT_FALSE(outcome.Succeeded());
    EXPECT_EQ(outcome.Note, "(P17,1,BAD) was not sent: P17: bad");
    const QStringList lines = Host.Log.join('\n').split('\n');
    EXPECT_TRUE(lines.filter("!! Not sent : (P17,1,BAD) : P17: bad").size() == 1);
    EXPECT_TRUE(lines
                    .filter("!! Not sent : (P17,1,x!!(P20)!) : (P17,1,x!!(P20)!) holds \"!\", "
                            "which no command can carry")
                    .size() == 1);
    EXPECT_TRUE(lines.last().endsWith("<< Read : (1,P05,y\\x00z)")) << lines.last().toStdString();

    // Typed commands: what the line would cut or mangle is never framed.
    for (const QByteArray& typed : {QByteArray("(P17,1,x!!(P20)!)"), QByteArray("(P17,1,A\x01)")}) {
        EXPECT_THROW(Engine.SendTyped(typed), TLinkError);
    }
    EXPECT_EQ(Sent().size(), 3);
}
