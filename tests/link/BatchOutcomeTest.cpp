// Which replies answer which commands, how writes are checked, and how every batch ends.
#include "FakeCommPort.h"
#include "uBatchOutcome.h"
#include "uEngineHost.h"
#include "uExchangeEngine.h"
#include "uUtils.h"

#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

TCmdItem Cmd(int number, int rw, const char* args = "", int kind = 0) {
    return TCmdItem{number, std::uint8_t(rw), QString::fromLatin1(args), std::uint8_t(kind)};
}

TEST(BatchOutcomeText, RepliesAnswerTheCommandOfTheirLetterNumberAndIndex) {
    const struct {
        const char* reply;
        TCmdItem cmd;
        bool answers;
    } cases[] = {
        {"(1,P03,5)", Cmd(3, 0), true},
        {"(1,P03)", Cmd(3, 1, ",5"), true},
        {"(1,P3,5)", Cmd(3, 0), true},
        {"(1,P17,5)", Cmd(3, 0), false},
        {"(1,T01,0,CAR,4,24,80)", Cmd(1, 0, "", 1), true},
        {"(1,T01,0,CAR,4,24,80)", Cmd(1, 0), false}, // a status report is not the version
        {"(1,P01,V2)", Cmd(1, 0, "", 1), false},
        {"(1,P11,3,139)", Cmd(11, 0, ",3"), true},
        {"(1,P11,2,139)", Cmd(11, 0, ",3"), false},
        {"(1,P08,05,1,2,3,4,N)", Cmd(8, 1, ",5,1,2,3,4,N"), true},
        {"(1,P22)", Cmd(22, 0, ",1"), false},
        {"(1,P20)", Cmd(20, 1), true},
        {"()", Cmd(3, 0), false},
        {"(1,,5)", Cmd(3, 0), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AnswersCommand(c.reply, c.cmd), c.answers) << c.reply;
    }
}

TEST(BatchOutcomeText, WritesAreConfirmedByAnEchoOfTheSameValue) {
    EXPECT_EQ(CommandText(Cmd(3, 1, ",+86138")), "(P03,1,+86138)");
    EXPECT_EQ(CommandText(Cmd(1, 0, "", 1)), "(T01,0)");
    EXPECT_EQ(CommandText(Cmd(20, 1)), "(P20)");
    EXPECT_EQ(ReplyValue("(1,P05,a,b,,d)"), "a,b,,d");
    EXPECT_EQ(ReplyValue("(1,P20)"), "");
    const TSameValue exact;
    EXPECT_EQ(CheckAnswer(Cmd(3, 1, ",+86138"), "(1,P03,+86138)", exact), TCmdState::Confirmed);
    EXPECT_EQ(CheckAnswer(Cmd(3, 1, ",+8613800"), "(1,P03,+86138)", exact), TCmdState::Differs);
    EXPECT_EQ(CheckAnswer(Cmd(12, 1, ",007"), "(1,P12,7)", exact), TCmdState::Differs);
    EXPECT_EQ(CheckAnswer(Cmd(20, 1), "(1,P20)", exact), TCmdState::Confirmed);
    EXPECT_EQ(CheckAnswer(Cmd(3, 0), "(1,P03,5)", exact), TCmdState::Answered);
    // The engine's owner decides what "the same value" is.
    const TSameValue byNumber = [](const TCmdItem& cmd, const QString& held) {
        return CommandValue(cmd).toInt() == held.toInt();
    };
    EXPECT_EQ(CheckAnswer(Cmd(12, 1, ",007"), "(1,P12,7)", byNumber), TCmdState::Confirmed);
}

TEST(BatchOutcomeText, LabelsDropAccessKeysAndTextsSayHowFarTheBatchGot) {
    EXPECT_EQ(BatchLabel("Read All [&A]"), "Read All");
    EXPECT_EQ(BatchLabel("Open[&O]"), "Open");
    EXPECT_EQ(BatchLabel("Add(&A)"), "Add");
    EXPECT_EQ(BatchLabel("Read All Geo-fence"), "Read All Geo-fence");

    const auto same = [](const QString& text) { return text; };
    TBatchOutcome o;
    o.Label = "Read All";
    o.Total = 26;
    o.Answered = 2;
    EXPECT_EQ(OutcomeText(o, same), "Read All: 3 of 26");
    o.Reads = 26;
    o.End = TBatchEnd::NoAnswer;
    o.Pending = {Cmd(10, 0), Cmd(12, 0)};
    o.HeadSent = true;
    o.Resumable = true;
    EXPECT_EQ(OutcomeText(o, same), "Read All stopped: the device did not answer (P10,0) (2 of 26 "
                                    "answered). Resume: Alt+R");
    // Who stopped it, and the command in flight apart from those never sent.
    const struct {
        TBatchEnd end;
        bool headSent;
        const char* text;
    } ends[] = {
        {TBatchEnd::NoAnswer, true,
         "Read All stopped: the device stopped answering. 2 of 26 reads answered; no answer to "
         "(P10,0); 1 not sent"},
        {TBatchEnd::LineLost, true,
         "Read All interrupted: the line was lost. 2 of 26 reads answered; no answer to (P10,0); "
         "1 not sent"},
        {TBatchEnd::PortClosed, false,
         "Read All interrupted: the port was closed. 2 of 26 reads answered; 2 not sent"},
        {TBatchEnd::Cancelled, true,
         "Read All cancelled by the user. 2 of 26 reads answered; no answer to (P10,0); 1 not "
         "sent"},
        {TBatchEnd::Superseded, false,
         "Read All given up for another operation. 2 of 26 reads answered; 2 not sent"},
        {TBatchEnd::Interrupted, false,
         "Read All interrupted on request. 2 of 26 reads answered; 2 not sent"},
    };
    o.Resumable = false;
    for (const auto& e : ends) {
        o.End = e.end;
        o.HeadSent = e.headSent;
        EXPECT_EQ(OutcomeText(o, same), e.text);
    }
    // Writes and reads counted apart.
    o.Label = "Restore";
    o.End = TBatchEnd::Complete;
    o.Pending.clear();
    o.Writes = 2;
    o.Reads = 2;
    o.Total = 4;
    o.Answered = 4;
    o.Confirmed = 1;
    o.Differs = 1;
    o.ElapsedMs = 400;
    EXPECT_EQ(OutcomeText(o, same), "Restore done: 2 of 2 writes answered (1 confirmed, 1 differ); "
                                    "2 of 2 reads answered, in 0.4 s");
    o.Label = "Read All";
    o.Reads = 0;
    o.Writes = 26;
    o.Total = 26;
    o.End = TBatchEnd::Complete;
    o.Answered = 26;
    o.Confirmed = 3;
    o.Differs = 1;
    o.ElapsedMs = 1340;
    EXPECT_EQ(OutcomeText(o, same), "Read All done: 26 of 26 commands answered, 3 writes "
                                    "confirmed, 1 differ, in 1.3 s");
    EXPECT_FALSE(o.Succeeded());
    // Every text goes through the translation.
    EXPECT_TRUE(OutcomeText(o, [](const QString&) { return QStringLiteral("X"); }).startsWith("X"));
    EXPECT_TRUE(OutcomeTexts().contains(QString::fromLatin1(kNoAnswerLogLabel)));
    EXPECT_TRUE(OutcomeCountTexts().contains("%1 not sent"));
}

// Applies every reply by advancing the queue, as the real handler does.
class TAdvancingHost : public IEngineHost {
public:
    void AddLog(const QString& line) override { Log.append(line); }
    void ShowProgress(int, int) override {}
    void SetDeviceButtons(bool enabled) override { ButtonsEnabled = enabled; }
    void HandleReply(const QByteArray& reply) override {
        if (BeforeNext) {
            BeforeNext(reply);
        }
        Engine->NextCmd();
    }
    QString TranslateText(const QString& text) override { return text; }

    TExchangeEngine* Engine = nullptr;
    std::function<void(const QByteArray&)> BeforeNext;
    QStringList Log;
    bool ButtonsEnabled = false;
};

class BatchEngineTest : public ::testing::Test {
protected:
    BatchEngineTest() {
        Host.Engine = &Engine;
        Engine.SetTimingForTests(60'000, 0);
        Port.Open();
    }

    QStringList Sent() const { return Port.WrittenTexts(); }
    void Feed(const char* text) { Port.Feed(EncodeFrame(text).value()); }
    void TimeOut() {
        for (int tick = 0; tick < TExchangeEngine::kOverTimeTicks; ++tick) {
            Engine.tmOverTimeTimer();
        }
    }
    TBatchOutcome Last() const { return Changes.last().first().value<TBatchOutcome>(); }
    // Batches reported as ended with every command answered and every write confirmed.
    int Successes() const {
        int count = 0;
        for (const auto& change : Changes) {
            count += change.first().value<TBatchOutcome>().Succeeded() ? 1 : 0;
        }
        return count;
    }
    void Start(std::initializer_list<TCmdItem> cmds) {
        for (const TCmdItem& cmd : cmds) {
            Engine.AddCmd(cmd.ParamNo, cmd.RW, cmd.Args, cmd.Kind);
        }
        ASSERT_FALSE(Engine.StartBatch(QStringLiteral("Batch")).has_value());
    }

    TFakeCommPort Port;
    TAdvancingHost Host;
    TExchangeEngine Engine{Port, Host};
    QSignalSpy Changes{&Engine, &TExchangeEngine::BatchChanged};
    QSignalSpy Answers{&Engine, &TExchangeEngine::CommandAnswered};
};

TEST_F(BatchEngineTest, RepliesThatDoNotAnswerTheHeadNeverAdvanceTheBatch) {
    Start({Cmd(1, 0, "", 1), Cmd(3, 0), Cmd(17, 0)});
    Feed("(1,T01,0,CAR,4,24,80)");
    EXPECT_EQ(Sent().size(), 2);
    Feed("(1,T01,0,CAR,4,24,80)"); // unasked: the head is P03 now
    Feed("(1,P17,X)");             // a console reply
    EXPECT_EQ(Sent(), (QStringList{"(T01,0)", "(P03,0)"}));
    Feed("(1,P03,5)");
    Feed("(1,P17,CAR)");
    EXPECT_EQ(Engine.QueueLength(), 0);
    EXPECT_EQ(Answers.size(), 3);
    EXPECT_EQ(Last().End, TBatchEnd::Complete);
    EXPECT_EQ(Last().Answered, 3);
    EXPECT_EQ(Successes(), 1); // once, on the reply to the last command
    int completes = 0;
    for (const auto& change : Changes) {
        completes += change.first().value<TBatchOutcome>().End == TBatchEnd::Complete ? 1 : 0;
    }
    EXPECT_EQ(completes, 1);
}

TEST_F(BatchEngineTest, ASilentDeviceStopsTheBatchWhichResumesWithTheSameCommand) {
    Start({Cmd(3, 0), Cmd(10, 0), Cmd(17, 0)});
    Feed("(1,P03,5)");
    TimeOut();
    EXPECT_TRUE(Host.Log.last().endsWith(" !! No answer : (P10,0)"))
        << Host.Log.last().toStdString();
    EXPECT_EQ(Last().End, TBatchEnd::NoAnswer);
    EXPECT_EQ(Last().Answered, 1);
    EXPECT_EQ(CommandText(Last().Pending.first()), "(P10,0)");
    EXPECT_TRUE(Host.ButtonsEnabled);
    ASSERT_TRUE(Engine.CanResume());

    ASSERT_FALSE(Engine.Resume().has_value());
    EXPECT_EQ(Sent(), (QStringList{"(P03,0)", "(P10,0)", "(P10,0)"}));
    EXPECT_EQ(Last().End, TBatchEnd::Running);
    // The late reply to the first (P10,0) answers it; the reply to the second one then
    // finds (P17,0) at the head and cannot skip it.
    Feed("(1,P10,20)");
    Feed("(1,P10,20)");
    EXPECT_EQ(Sent().last(), "(P17,0)");
    EXPECT_EQ(Engine.QueueLength(), 1);
    Feed("(1,P17,CAR)");
    EXPECT_EQ(Last().End, TBatchEnd::Complete);
    EXPECT_EQ(Last().Answered, 3);
    EXPECT_EQ(Successes(), 1);
}

TEST_F(BatchEngineTest, ALateReplyTakesAStoppedBatchUpByItself) {
    Start({Cmd(3, 0), Cmd(10, 0)});
    TimeOut();
    Feed("(1,P03,5)");
    EXPECT_EQ(Sent().last(), "(P10,0)");
    EXPECT_TRUE(Engine.IsBusy());
    EXPECT_EQ(Last().End, TBatchEnd::Running);
}

TEST_F(BatchEngineTest, CancelDropsTheQueueAndALateAnswerStillVerifiesItsCommand) {
    Start({Cmd(3, 1, ",5"), Cmd(10, 1, ",20")});
    TimeOut();
    Engine.Cancel();
    EXPECT_EQ(Engine.QueueLength(), 0);
    EXPECT_FALSE(Engine.CanResume());
    EXPECT_EQ(Last().End, TBatchEnd::Cancelled);
    EXPECT_EQ(Last().Pending.size(), 2);
    EXPECT_EQ(Last().NotAnswered(), 1);
    EXPECT_EQ(Last().NotSent(), 1);
    EXPECT_TRUE(Host.ButtonsEnabled);
    Feed("(1,P03,5)");
    EXPECT_EQ(Successes(), 0);
    ASSERT_EQ(Answers.size(), 1);
    const auto late = Answers[0].first().value<TCmdAnswer>();
    EXPECT_TRUE(late.Late);
    EXPECT_EQ(late.State, TCmdState::Confirmed);
    EXPECT_EQ(Last().End, TBatchEnd::Cancelled); // still cancelled, but the counts follow
    EXPECT_EQ(Last().Confirmed, 1);
    EXPECT_EQ(Last().NotAnswered(), 0);
    EXPECT_EQ(Last().NotSent(), 1);
    Feed("(1,P03,5)"); // answered once only
    EXPECT_EQ(Answers.size(), 1);
    EXPECT_EQ(Sent().size(), 1);
}

TEST_F(BatchEngineTest, AnInterruptFinishesTheCommandInFlightAndSendsNothingMore) {
    Start({Cmd(3, 1, ",5"), Cmd(10, 1, ",20"), Cmd(17, 1, ",A")});
    Engine.Interrupt();
    EXPECT_EQ(Last().End, TBatchEnd::Running);
    Feed("(1,P03,5)");
    EXPECT_EQ(Last().End, TBatchEnd::Interrupted);
    EXPECT_EQ(Last().Confirmed, 1);
    EXPECT_EQ(Last().NotAnswered(), 0);
    EXPECT_EQ(Last().NotSent(), 2);
    EXPECT_EQ(Sent(), QStringList{"(P03,1,5)"});
    EXPECT_FALSE(Engine.IsBusy());

    // With the device silent, the time-out ends it; a stopped batch ends at once.
    Start({Cmd(3, 0), Cmd(10, 0)});
    Engine.Interrupt();
    TimeOut();
    EXPECT_EQ(Last().End, TBatchEnd::Interrupted);
    EXPECT_EQ(Last().NotAnswered(), 1);
    Start({Cmd(3, 0), Cmd(10, 0)});
    TimeOut();
    Engine.Interrupt();
    EXPECT_EQ(Last().End, TBatchEnd::Interrupted);
    EXPECT_EQ(Engine.QueueLength(), 0);
}

TEST_F(BatchEngineTest, AReplyWaitingOnTheLineIsReadBeforeTheTimeOut) {
    Start({Cmd(3, 0), Cmd(10, 0)});
    Port.Hold = true; // bytes arrive, their notification does not
    Feed("(1,P03,5)");
    EXPECT_EQ(Sent().size(), 1);
    TimeOut();
    EXPECT_EQ(Sent(), (QStringList{"(P03,0)", "(P10,0)"}));
    EXPECT_EQ(Last().End, TBatchEnd::Running);
}

TEST_F(BatchEngineTest, WritesAreCheckedAndADifferenceIsNoSuccess) {
    Engine.SetRules({}, [](const QByteArray& reply) {
        return reply.contains("garbage") ? std::optional<QString>("no address") : std::nullopt;
    });
    Start({Cmd(3, 1, ",+8613800138000"), Cmd(10, 1, ",20"), Cmd(5, 1, ",1.2.3.4")});
    Feed("(1,P03,+86138)");
    Feed("(1,P10,20)");
    Feed("(1,P05,garbage)");
    ASSERT_EQ(Answers.size(), 3);
    EXPECT_EQ(Answers[0].first().value<TCmdAnswer>().State, TCmdState::Differs);
    EXPECT_EQ(Answers[1].first().value<TCmdAnswer>().State, TCmdState::Confirmed);
    EXPECT_EQ(Answers[2].first().value<TCmdAnswer>().State, TCmdState::Unusable);
    EXPECT_EQ(Last().End, TBatchEnd::Complete);
    EXPECT_EQ(Last().Confirmed, 1);
    EXPECT_EQ(Last().Differs, 1);
    EXPECT_EQ(Successes(), 0);
    // A reply the program cannot use still answers its write.
    EXPECT_TRUE(OutcomeText(Last(), [](const QString& text) { return text; })
                    .startsWith("Batch done: 3 of 3 writes answered (1 confirmed, 1 differ, 1 "
                                "unusable); 1 replies the program cannot use; "));
}

TEST_F(BatchEngineTest, AHangUpInThePauseEndsTheBatchAsLostAndNothingAsComplete) {
    Engine.SetTimingForTests(60'000, 30);
    Host.BeforeNext = [this](const QByteArray&) {
        QTimer::singleShot(5, &Port, [this] { Port.Unplug(); });
    };
    Start({Cmd(3, 1, ",5"), Cmd(10, 1, ",20"), Cmd(17, 1, ",A")});
    Feed("(1,P03,5)");
    EXPECT_EQ(Last().End, TBatchEnd::LineLost);
    EXPECT_EQ(Last().Answered, 1);
    EXPECT_EQ(Last().Pending.size(), 2);
    EXPECT_EQ(Successes(), 0);
    EXPECT_EQ(Sent().size(), 1);
}

TEST_F(BatchEngineTest, ANewOperationSupersedesARunningBatch) {
    Start({Cmd(3, 0), Cmd(10, 0)});
    Engine.ClearQueue();
    EXPECT_EQ(Last().End, TBatchEnd::Superseded);
    EXPECT_EQ(Last().Pending.size(), 2);
    Engine.AbortBatch(TBatchEnd::LineLost); // an ended batch ends once
    EXPECT_EQ(Last().End, TBatchEnd::Superseded);
}

// Its owner may go away while a reply is handled; nothing of the engine is touched after.
TEST(EngineLifetime, AnEngineEndedWhileHandlingAReplyIsLeftAlone) {
    struct TEndingHost : public IEngineHost {
        void AddLog(const QString&) override {}
        void ShowProgress(int, int) override {}
        void SetDeviceButtons(bool) override {}
        void HandleReply(const QByteArray&) override { Engine.reset(); }
        QString TranslateText(const QString& text) override { return text; }
        std::unique_ptr<TExchangeEngine> Engine;
    } host;
    TFakeCommPort port;
    port.Open();
    host.Engine = std::make_unique<TExchangeEngine>(port, host);
    port.Feed(EncodeFrame("(1,P03,5)").value() + "noise!");
    EXPECT_EQ(host.Engine, nullptr);
}

} // namespace
