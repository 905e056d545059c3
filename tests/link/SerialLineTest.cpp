// The real QSerialPort line against the simulated device on a pseudo-terminal.
#include "uEngineHost.h"
#include "uExchangeEngine.h"
#include "uLinkError.h"
#include "uPortList.h"
#include "uPortOpenError.h"
#include "uQtSerialPort.h"
#include "uSimPty.h"
#include "uUtils.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TBatchCmd {
    int ParamNo;
    const char* Args;
    std::uint8_t Kind;
};

// The device's whole configuration, read the way the window's Read All reads it.
const TBatchCmd kReadAll[] = {
    {1, "", 1},    {1, "", 0},    {3, "", 0},    {17, "", 0},   {10, "", 0},   {12, "", 0},
    {6, "", 0},    {25, "", 0},   {5, "", 0},    {7, "", 0},    {4, "", 0},    {21, "", 0},
    {14, "", 0},   {18, "", 0},   {11, ",1", 0}, {22, ",1", 0}, {11, ",2", 0}, {22, ",2", 0},
    {11, ",3", 0}, {22, ",3", 0}, {11, ",4", 0}, {22, ",4", 0}, {11, ",5", 0}, {22, ",5", 0},
    {31, "", 0},   {34, "", 0},
};

class TAdvancingHost : public IEngineHost {
public:
    void AddLog(const QString&) override {}
    void ShowProgress(int, int) override {}
    void SetDeviceButtons(bool) override {}
    void HandleReply(const QByteArray& reply) override {
        Replies.append(reply);
        Engine->NextCmd();
    }
    QString TranslateText(const QString& text) override { return text; }

    TExchangeEngine* Engine = nullptr;
    QList<QByteArray> Replies;
};

class SerialLineTest : public ::testing::Test {
protected:
    void StartDevice(TSimOptions options) {
        Sim = std::make_unique<TSimPty>(options);
        QString error;
        ASSERT_TRUE(Sim->Start(&error)) << error.toStdString();
        Port.SetPortName(Sim->SlavePath());
        Port.SetBaudRate(115200);
        Port.Open();
        Host.Engine = &Engine;
        // Short ticks so a lost reply ends the batch quickly; the logic is the shipped one.
        Engine.SetTimingForTests(100, 5);
    }

    void RunReadAll() {
        Engine.ClearQueue();
        for (const TBatchCmd& cmd : kReadAll) {
            Engine.AddCmd(cmd.ParamNo, 0, QString::fromLatin1(cmd.Args), cmd.Kind);
        }
        Engine.StartSend(true);
        const QDeadlineTimer deadline(20'000);
        while (Engine.IsBusy() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        }
        ASSERT_FALSE(Engine.IsBusy()) << "the batch got stuck";
    }

    // The parameter each reply names ("T01", "P05", ...), in arrival order.
    QStringList ReplyParams() const {
        QStringList out;
        for (const QByteArray& reply : Host.Replies) {
            out.append(SplitArgs(QString::fromLatin1(reply.mid(1, reply.size() - 2))).value(1));
        }
        return out;
    }

    static QStringList ExpectedParams() {
        QStringList out;
        for (const TBatchCmd& cmd : kReadAll) {
            out.append(QString::asprintf("%c%.2d", cmd.Kind ? 'T' : 'P', cmd.ParamNo));
        }
        return out;
    }

    std::unique_ptr<TSimPty> Sim;
    TQtSerialPort Port;
    TAdvancingHost Host;
    TExchangeEngine Engine{Port, Host};
};

} // namespace

TEST_F(SerialLineTest, ReadAllCompletesWithEveryReplyInOrder) {
    StartDevice({});
    RunReadAll();
    EXPECT_EQ(ReplyParams(), ExpectedParams());
    EXPECT_EQ(Engine.QueueLength(), 0);
    EXPECT_EQ(Host.Replies.first(), "(0123456789,T01,0,,4,24,85)");
}

TEST_F(SerialLineTest, SplitAndNoisyRepliesStillCompleteTheBatch) {
    TSimOptions options;
    options.split = true;
    options.noise = true;
    StartDevice(options);
    RunReadAll();
    EXPECT_EQ(ReplyParams(), ExpectedParams());
}

TEST_F(SerialLineTest, LostRepliesEndTheBatchIdleNeverStuck) {
    TSimOptions options;
    options.dropEvery = 4;
    StartDevice(options);
    RunReadAll();
    // The fourth reply never came: the batch stopped there, its command still queued.
    EXPECT_EQ(ReplyParams(), ExpectedParams().first(3));
    EXPECT_EQ(Engine.QueueLength(), static_cast<int>(std::size(kReadAll)) - 3);
}

TEST_F(SerialLineTest, AHangUpClosesThePortAndReportsItOnce) {
    TSimOptions options;
    options.hangupAfter = 2;
    StartDevice(options);
    QSignalSpy lost(&Port, &ICommPort::LineLost);
    RunReadAll();
    if (lost.isEmpty()) {
        lost.wait(5000);
    }
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(Port.IsOpen());
    EXPECT_EQ(Host.Replies.size(), 2);
    EXPECT_EQ(lost.value(0).value(0).toString(), "The device closed the line");
}

// The port may notice the same unplug as a resource error first: it says the same.
TEST_F(SerialLineTest, AResourceErrorIsALostLineInTheSameWords) {
    StartDevice(TSimOptions{});
    QSignalSpy lost(&Port, &ICommPort::LineLost);
    auto* serial = Port.findChild<QSerialPort*>();
    ASSERT_NE(serial, nullptr);
    Q_EMIT serial->errorOccurred(QSerialPort::ResourceError);
    ASSERT_EQ(lost.count(), 1);
    EXPECT_EQ(lost[0][0].toString(), "The device closed the line");
    EXPECT_FALSE(Port.IsOpen());
}

TEST_F(SerialLineTest, AHangUpIsNoticedWithoutWritingAgain) {
    TSimOptions options;
    options.hangupAfter = 1;
    StartDevice(options);
    QSignalSpy lost(&Port, &ICommPort::LineLost);
    Engine.SendCmd(3, 0, QString(), 0);
    ASSERT_TRUE(lost.wait(5000));
    EXPECT_EQ(Host.Replies.size(), 1);
    EXPECT_FALSE(Port.IsOpen());
    try {
        Port.Write("x");
        FAIL() << "wrote to a dead line";
    } catch (const TLinkError& error) {
        EXPECT_EQ(error.Text(), lost.first().first().toString());
    }
}

namespace {

// The text of a failed open of path, or "" when it opened.
QString OpenFailure(const QString& path) {
    TQtSerialPort port;
    port.SetPortName(path);
    try {
        port.Open();
    } catch (const TLinkError& error) {
        EXPECT_FALSE(port.IsOpen());
        return error.Text();
    }
    return QString();
}

// The same as an ordinary user: the superuser may open any device, so the open runs in a child
// process that has given those rights up and sends its text back through a pipe.
QString OpenFailureAsOrdinaryUser(const QString& path) {
    if (::geteuid() != 0) {
        return OpenFailure(path);
    }
    int channel[2] = {-1, -1};
    EXPECT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        constexpr uid_t kNobody = 65534;
        const QByteArray text = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0
                                    ? OpenFailure(path).toUtf8()
                                    : QByteArray("could not give the superuser's rights up");
        const bool sent = ::write(channel[1], text.constData(), text.size()) == text.size();
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    QByteArray text;
    char buffer[512];
    for (ssize_t got = 0; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, got);
    }
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    return QString::fromUtf8(text);
}

} // namespace

TEST(SerialPort, OpenFailuresSayWhatToDo) {
    EXPECT_EQ(OpenFailure("/dev/tervo-no-such-port"),
              "cannot open /dev/tervo-no-such-port: no such file or device");

    // A terminal the user may not use: the message names the device's group and the fix.
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    ASSERT_EQ(::chmod(name, 0), 0);
    const QString group = PortAccessGroup(QString::fromLocal8Bit(name));
    EXPECT_FALSE(group.isEmpty());
    EXPECT_EQ(OpenFailureAsOrdinaryUser(QString::fromLocal8Bit(name)),
              QStringLiteral("cannot open %1: permission denied (add yourself to the %2 group: "
                             "sudo usermod -aG %2 $USER, then log out and in again)")
                  .arg(QString::fromLocal8Bit(name), group));
    ::close(master);

    // One the user may use but that another program holds; a file that is no terminal.
    EXPECT_EQ(PortOpenErrorText(QSerialPort::PermissionError, "/dev/null"),
              "cannot open /dev/null: the port is in use");
    EXPECT_EQ(OpenFailure("/dev/null"), "cannot open /dev/null: not a serial port");
}

TEST(SerialPort, ClosingAClosedPortIsNoError) {
    TQtSerialPort port;
    QSignalSpy closed(&port, &ICommPort::AfterClose);
    EXPECT_NO_THROW(port.Close());
    EXPECT_EQ(closed.count(), 1);
}

TEST(PortList, MapsBaudRateTextsToSupportedRates) {
    EXPECT_EQ(BaudRateFromInt("115200"), 115200);
    EXPECT_EQ(BaudRateFromInt("256000"), 256000);
    EXPECT_EQ(BaudRateFromInt("110"), 110);
    for (const char* other : {"abc", "0", "12345", "", "-9600", "9601"}) {
        EXPECT_EQ(BaudRateFromInt(other), 9600) << other;
    }
}

TEST(PortList, OpensBareNamesInDevAndPathsAsGiven) {
    EXPECT_EQ(PortNameFromField("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(PortNameFromField("/dev/pts/3"), "/dev/pts/3");
    for (const QString& name : RefreshPortList()) {
        EXPECT_FALSE(name.contains(QLatin1Char('/'))) << name.toStdString();
    }
}
