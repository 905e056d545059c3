#pragma once

// tervo-cli and tervo-devsim as processes, for the command line's end-to-end tests.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <csignal>
#include <gtest/gtest.h>

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
