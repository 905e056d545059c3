#include "SimTestSupport.h"
#include "uSimPty.h"

#include <QStringList>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

using TClock = std::chrono::steady_clock;

// The program's end of the line, opened with plain POSIX calls as a serial port would be.
class TLine {
public:
    explicit TLine(const QString& path)
        : FFd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        termios mode{};
        if (FFd >= 0 && ::tcgetattr(FFd, &mode) == 0) {
            ::cfmakeraw(&mode);
            ::tcsetattr(FFd, TCSANOW, &mode); // TCSAFLUSH would drop what already waits
        }
    }
    ~TLine() {
        if (FFd >= 0) {
            ::close(FFd);
        }
    }
    TLine(const TLine&) = delete;
    TLine& operator=(const TLine&) = delete;

    bool IsOpen() const { return FFd >= 0; }
    bool Send(const QByteArray& bytes) const {
        return ::write(FFd, bytes.constData(), bytes.size()) == bytes.size();
    }
    // Until `count` whole frames have come (frames and noise hold no other "!").
    QByteArray ReadFrames(int count) {
        return Read([count](const QByteArray& got) { return got.count('!') >= 2 * count; }, 5s);
    }
    // Until the simulator closes the line.
    QByteArray ReadUntilHangUp() {
        return Read([](const QByteArray&) { return false; }, 5s);
    }
    // Whatever arrives in this time.
    QByteArray ReadFor(std::chrono::milliseconds time) {
        return Read([](const QByteArray&) { return false; }, time);
    }
    bool HungUp() const { return FHungUp; }

private:
    QByteArray Read(const std::function<bool(const QByteArray&)>& done,
                    std::chrono::milliseconds limit) {
        QByteArray got;
        const auto deadline = TClock::now() + limit;
        while (!done(got) && !FHungUp && TClock::now() < deadline) {
            pollfd fd{FFd, POLLIN, 0};
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
            if (::poll(&fd, 1, std::max<int>(0, static_cast<int>(left.count()))) <= 0) {
                continue;
            }
            // Whatever woke the poll, the read says what it was: data, nothing yet (EAGAIN),
            // or a line that is gone (end of file or EIO).
            char chunk[512];
            const ssize_t n = ::read(FFd, chunk, sizeof chunk);
            if (n > 0) {
                got.append(chunk, n);
            } else if (n == 0 || errno != EAGAIN) {
                FHungUp = true;
            }
        }
        return got;
    }

    int FFd;
    bool FHungUp = false;
};

// The reply texts of a received stream, read as the assistant reads them.
QByteArrayList Texts(QByteArray stream) {
    QByteArrayList texts;
    QByteArray text;
    while (HasCompleteFrame(stream)) {
        if (ExtractFrame(stream, text)) {
            texts.append(text);
        }
    }
    return texts;
}

// A started simulator whose transcript the test can read.
class TRunningSim {
public:
    explicit TRunningSim(TSimOptions options = {}) : FSim(std::move(options)) {
        FSim.SetTranscript([this](const QString& line) {
            std::lock_guard lock(FLock);
            FLines.append(line);
        });
        QString error;
        EXPECT_TRUE(FSim.Start(&error)) << error.toStdString();
    }
    TSimPty& operator*() { return FSim; }
    TSimPty* operator->() { return &FSim; }
    QStringList Lines() {
        std::lock_guard lock(FLock);
        return FLines;
    }

private:
    std::mutex FLock;
    QStringList FLines;
    TSimPty FSim; // declared last: stopped before the transcript goes
};

} // namespace

TEST(SimPty, AnswersCommandsOnItsPseudoTerminal) {
    TRunningSim sim;
    EXPECT_TRUE(sim->SlavePath().startsWith("/dev/pts/"));
    sim->WithDevice([](TDeviceSim& device) { device.SetBattery(40); });
    TLine line(sim->SlavePath());
    ASSERT_TRUE(line.IsOpen());

    ASSERT_TRUE(line.Send(Frame("(P03,0)") + Frame("(T01,0)")));
    EXPECT_EQ(line.ReadFrames(2),
              Frame("(0123456789,P03,)") + Frame("(0123456789,T01,0,,4,24,40)"));
    EXPECT_EQ(sim->Snapshot().Answered(), 2);
    const QStringList lines = sim.Lines();
    EXPECT_EQ(lines.filter("<<"), (QStringList{"<< (P03,0)", "<< (T01,0)"}));
    EXPECT_EQ(lines.filter(">>"),
              (QStringList{">> (0123456789,P03,)", ">> (0123456789,T01,0,,4,24,40)"}));
}

TEST(SimPty, KeepsAnsweringWhenThePortIsClosedAndOpenedAgain) {
    TRunningSim sim;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        TLine line(sim->SlavePath());
        ASSERT_TRUE(line.Send(Frame("(P07,0)")));
        EXPECT_EQ(line.ReadFrames(1), Frame("(0123456789,P07,1)"));
    }
    EXPECT_FALSE(sim->HungUp());
}

TEST(SimPty, SplitAndDelayedRepliesKeepTheirBytes) {
    TSimOptions options;
    options.split = true;
    options.delayMs = 50;
    TRunningSim sim(options);
    TLine line(sim->SlavePath());
    ASSERT_TRUE(line.Send(Frame("(P05,0)")));
    EXPECT_EQ(line.ReadFrames(1), Frame("(0123456789,P05,123.123.123.123,8888,CMNET,,)"));
}

TEST(SimPty, NoiseIsGarbageWithoutDelimiters) {
    TSimOptions options;
    options.noise = true;
    TRunningSim sim(options);
    TLine line(sim->SlavePath());
    QByteArray stream;
    for (const char* command : {"(P06,0)", "(P07,0)", "(P10,0)"}) {
        ASSERT_TRUE(line.Send(Frame(command)));
        stream += line.ReadFrames(1);
    }
    const QByteArrayList expected = {"(0123456789,P06,0)", "(0123456789,P07,1)",
                                     "(0123456789,P10,20)"};
    EXPECT_EQ(Texts(stream), expected);
    EXPECT_EQ(stream.count('!'), 6);
    qsizetype frameBytes = 0;
    for (const QByteArray& text : expected) {
        frameBytes += Frame(text).size();
    }
    EXPECT_GT(stream.size(), frameBytes + 2) << "noise before each frame";
}

TEST(SimPty, DropsEveryNthReply) {
    TSimOptions options;
    options.dropEvery = 3;
    options.hangupAfter = 6;
    TRunningSim sim(options);
    TLine line(sim->SlavePath());
    ASSERT_TRUE(line.Send(Frame("(P03,0)") + Frame("(P04,0)") + Frame("(P06,0)") +
                          Frame("(P07,0)") + Frame("(P09,0)") + Frame("(P10,0)")));
    EXPECT_EQ(Texts(line.ReadUntilHangUp()),
              (QByteArrayList{"(0123456789,P03,)", "(0123456789,P04,30,0,1)", "(0123456789,P07,1)",
                              "(0123456789,P09,300)"}));
    EXPECT_TRUE(line.HungUp());
}

TEST(SimPty, DropsARandomShareTheSameWayForTheSameSeed) {
    const auto run = [](quint32 seed) {
        TSimOptions options;
        options.dropRate = 0.5;
        options.seed = seed;
        options.hangupAfter = 12;
        TRunningSim sim(options);
        TLine line(sim->SlavePath());
        QByteArray commands;
        for (int fence = 1; fence <= 12; ++fence) {
            commands += Frame("(P08,0," + QByteArray::number(fence) + ')');
        }
        EXPECT_TRUE(line.Send(commands));
        return Texts(line.ReadUntilHangUp());
    };
    const QByteArrayList first = run(7);
    EXPECT_GT(first.size(), 0);
    EXPECT_LT(first.size(), 12);
    EXPECT_EQ(run(7), first);
}

TEST(SimPty, HangsUpAfterAnsweringNCommands) {
    TSimOptions options;
    options.hangupAfter = 2;
    TRunningSim sim(options);
    const QString path = sim->SlavePath();
    TLine line(path);
    ASSERT_TRUE(line.Send(Frame("(P03,0)")));
    EXPECT_EQ(line.ReadFrames(1), Frame("(0123456789,P03,)"));
    EXPECT_FALSE(sim->HungUp());

    ASSERT_TRUE(line.Send(Frame("(P04,0)") + Frame("(P06,0)")));
    EXPECT_EQ(Texts(line.ReadUntilHangUp()), QByteArrayList{"(0123456789,P04,30,0,1)"});
    EXPECT_TRUE(line.HungUp());
    EXPECT_TRUE(sim->HungUp());
    EXPECT_FALSE(TLine(path).IsOpen()) << "the line is gone";
}

TEST(SimPty, SendsStatusReportsUnaskedButNoneThatWentUnread) {
    TSimOptions options;
    options.unsolicitedStatusSecs = 1;
    TRunningSim sim(options);
    TLine line(sim->SlavePath());
    // Reports come at 1 s and 2 s; the first has lain unread for a second when the second
    // is due, and a real line would have lost it.
    std::this_thread::sleep_for(2300ms);
    EXPECT_EQ(Texts(line.ReadFor(150ms)), QByteArrayList{"(0123456789,T01,0,,4,24,85)"});
}

TEST(SimPty, StopReturnsPromptlyWithAReplyStillDue) {
    TSimOptions options;
    options.delayMs = 10'000;
    TRunningSim sim(options);
    TLine line(sim->SlavePath());
    ASSERT_TRUE(line.Send(Frame("(P03,0)")));
    const auto deadline = TClock::now() + 5s;
    while (sim->Snapshot().Answered() == 0 && TClock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(sim->Snapshot().Answered(), 1);

    const auto start = TClock::now();
    sim->Stop();
    EXPECT_LT(TClock::now() - start, 2s);
    EXPECT_TRUE(line.ReadUntilHangUp().isEmpty());
    EXPECT_TRUE(line.HungUp());
    sim->Stop(); // a second time is harmless
}

// Unplugged by hand or by its hang-up, the device comes back on a new terminal with its
// settings, and hangs up only once.
TEST(SimPty, UnpluggedAndPluggedInAgainKeepsItsSettings) {
    for (const bool byHangUp : {false, true}) {
        SCOPED_TRACE(byHangUp);
        TSimOptions options;
        options.hangupAfter = byHangUp ? 1 : 0;
        options.replugAfterMs = byHangUp ? 200 : -1;
        TRunningSim sim(options);
        TLine line(sim->SlavePath());
        ASSERT_TRUE(line.Send(Frame("(P17,1,VAN_7)")));
        EXPECT_EQ(line.ReadFrames(1), Frame("(0123456789,P17,VAN_7)"));
        if (!byHangUp) {
            sim->Unplug();
        }
        line.ReadUntilHangUp();
        EXPECT_TRUE(line.HungUp());
        if (!byHangUp) {
            EXPECT_TRUE(sim->SlavePath().isEmpty());
            sim->Plug();
        }
        const auto deadline = TClock::now() + 5s;
        while (sim->SlavePath().isEmpty() && TClock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
        }
        TLine again(sim->SlavePath());
        ASSERT_TRUE(again.IsOpen());
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(again.Send(Frame("(P17,0)")));
            EXPECT_EQ(again.ReadFrames(1), Frame("(0123456789,P17,VAN_7)"));
        }
        EXPECT_FALSE(again.HungUp());
        EXPECT_EQ(sim.Lines().filter("plugged in at").size(), 1);
    }
}

TEST(SimPty, StatusLevelsRiseAfterEachPlugIn) {
    TSimOptions options;
    options.gps = 6;
    options.gsm = 28;
    options.battery = 55;
    options.signalAfterMs = 300;
    TRunningSim sim(options);
    for (int plug = 0; plug < 2; ++plug) {
        SCOPED_TRACE(plug);
        TLine line(sim->SlavePath());
        ASSERT_TRUE(line.Send(Frame("(T01,0)")));
        EXPECT_EQ(line.ReadFrames(1), Frame("(0123456789,T01,0,,0,0,55)"));
        std::this_thread::sleep_for(400ms);
        ASSERT_TRUE(line.Send(Frame("(T01,0)")));
        EXPECT_EQ(line.ReadFrames(1), Frame("(0123456789,T01,0,,6,28,55)"));
        sim->Unplug();
        line.ReadUntilHangUp();
        sim->Plug();
        const auto deadline = TClock::now() + 5s;
        while (sim->SlavePath().isEmpty() && TClock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
        }
    }
}
