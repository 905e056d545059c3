#pragma once

// tervo-cli and tervo-devsim as processes, for the command line's end-to-end tests.
#include "uUtils.h"

#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// One simulated tracker on a pseudo-terminal, as its own process.
class TDevSim {
public:
    explicit TDevSim(const QStringList& options) {
        FTranscript.open();
        FProcess.setStandardErrorFile(FTranscript.fileName());
        // A test that dies (a crash, a time-out) takes its devices with it: a device left
        // running would hold the pipes and locks the test inherited.
        FProcess.start(QStringLiteral(TERVO_DEVSIM), QStringList(options) << "--exit-with-parent");
        EXPECT_TRUE(FProcess.waitForStarted(5000));
        while (!FProcess.canReadLine() && FProcess.waitForReadyRead(5000)) {
        }
        FPath = QString::fromLocal8Bit(FProcess.readLine()).trimmed();
        EXPECT_TRUE(FPath.startsWith("/dev/")) << FPath.toStdString();
    }
    ~TDevSim() {
        FProcess.terminate();
        FProcess.waitForFinished(5000);
    }
    TDevSim(const TDevSim&) = delete;
    TDevSim& operator=(const TDevSim&) = delete;

    // The terminal it was started on.
    const QString& Path() const { return FPath; }
    // The commands the device received, in order.
    QStringList Received() {
        QFile file(FTranscript.fileName());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QString log = QString::fromLocal8Bit(file.readAll());
        QStringList commands;
        static const QRegularExpression line(QStringLiteral("<< (\\(.*\\))$"),
                                             QRegularExpression::MultilineOption);
        for (auto it = line.globalMatch(log); it.hasNext();) {
            commands.append(it.next().captured(1));
        }
        return commands;
    }
    // SIGUSR1 unplugs the device, SIGUSR2 plugs it in again.
    void Signal(int signal) { ::kill(pid_t(FProcess.processId()), signal); }

private:
    QTemporaryFile FTranscript;
    QProcess FProcess;
    QString FPath;
};

// A peer on a pseudo-terminal that answers the commands it is given with replies of its own,
// whatever bytes they hold, and leaves every other command unanswered: a device that sends
// what the simulator never would.
class TScriptedPeer {
public:
    explicit TScriptedPeer(QHash<QByteArray, QByteArray> replies) : FReplies(std::move(replies)) {
        char name[128] = {};
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_TRUE(FMaster >= 0 && ::grantpt(FMaster) == 0 && ::unlockpt(FMaster) == 0 &&
                    ::ptsname_r(FMaster, name, sizeof name) == 0);
        FPath = QString::fromLocal8Bit(name);
        // Held open, so the terminal stays between the program's runs.
        FSlave = ::open(name, O_RDWR | O_NOCTTY);
        termios mode{};
        ::tcgetattr(FSlave, &mode);
        ::cfmakeraw(&mode);
        ::tcsetattr(FSlave, TCSANOW, &mode);
        FThread = std::thread([this] { Answer(); });
    }
    ~TScriptedPeer() {
        FStop = true;
        FThread.join();
        ::close(FSlave);
        ::close(FMaster);
    }
    TScriptedPeer(const TScriptedPeer&) = delete;
    TScriptedPeer& operator=(const TScriptedPeer&) = delete;

    const QString& Path() const { return FPath; }

private:
    void Answer() {
        QByteArray buffer;
        while (!FStop) {
            pollfd in{FMaster, POLLIN, 0};
            if (::poll(&in, 1, 50) <= 0) {
                continue;
            }
            char bytes[256];
            const ssize_t got = ::read(FMaster, bytes, sizeof bytes);
            buffer.append(bytes, got > 0 ? got : 0);
            QByteArray text;
            while (HasCompleteFrame(buffer)) {
                if (ExtractFrame(buffer, text) && FReplies.contains(text)) {
                    const QByteArray frame = EncodeFrame(FReplies.value(text)).value_or("");
                    EXPECT_EQ(::write(FMaster, frame.constData(), size_t(frame.size())),
                              frame.size());
                }
            }
        }
    }

    QHash<QByteArray, QByteArray> FReplies;
    int FMaster = -1;
    int FSlave = -1;
    QString FPath;
    std::atomic<bool> FStop = false;
    std::thread FThread;
};

struct TRun {
    int Status = -1;
    QString Out;
    QString Err;
};

// program: the tervo-cli to run, the build's unless a test copies it elsewhere; input, when
// given, is its standard input.
inline TRun RunCli(const QStringList& arguments, const QString& program = QStringLiteral(TERVO_CLI),
                   const QByteArray& input = {}) {
    QProcess cli;
    cli.start(program, arguments);
    cli.write(input);
    cli.closeWriteChannel();
    EXPECT_TRUE(cli.waitForFinished(120'000));
    return {cli.exitCode(), QString::fromLocal8Bit(cli.readAllStandardOutput()),
            QString::fromLocal8Bit(cli.readAllStandardError())};
}

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
