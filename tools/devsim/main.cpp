// tervo-devsim: a simulated tracker on a pseudo-terminal. Prints the terminal's path alone on
// the first line of standard output, then a transcript on standard error until SIGINT or
// SIGTERM.

#include "uSimPty.h"
#include "uSimSnapshot.h"
#include "uSnapshot.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTime>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

std::optional<int> Count(const QCommandLineParser& parser, const QString& name) {
    bool ok = true;
    const int value = parser.isSet(name) ? parser.value(name).toInt(&ok) : 0;
    if (!ok || value < 0) {
        return std::nullopt;
    }
    return value;
}

// The options as the simulator takes them, or a reason why they cannot be.
std::optional<TSimOptions> ReadOptions(const QCommandLineParser& parser, QString& error) {
    TSimOptions options;
    if (parser.isSet("snapshot")) {
        TSnapshot snapshot;
        if (const auto loadError = snapshot.Load(parser.value("snapshot"))) {
            error = *loadError;
            return std::nullopt;
        }
        SimOptionsFromSnapshot(snapshot, options);
    }
    if (parser.isSet("id")) {
        options.id = parser.value("id").toLatin1();
    }
    const auto delay = Count(parser, "delay-ms");
    const auto drop = Count(parser, "drop");
    const auto status = Count(parser, "unsolicited-status");
    const auto hangup = Count(parser, "hangup-after");
    if (!delay || !drop || !status || !hangup) {
        error = "--delay-ms, --drop, --unsolicited-status and --hangup-after take a whole "
                "number of 0 or more";
        return std::nullopt;
    }
    options.delayMs = *delay;
    options.dropEvery = *drop;
    options.unsolicitedStatusSecs = *status;
    options.hangupAfter = *hangup;
    bool ok = true;
    if (parser.isSet("drop-rate")) {
        options.dropRate = parser.value("drop-rate").toDouble(&ok);
        if (!ok || !(options.dropRate >= 0 && options.dropRate <= 1)) {
            error = "--drop-rate takes a fraction from 0 to 1";
            return std::nullopt;
        }
    }
    if (parser.isSet("seed")) {
        options.seed = parser.value("seed").toUInt(&ok);
        if (!ok) {
            error = "--seed takes a whole number of 0 or more";
            return std::nullopt;
        }
    }
    for (const QString& alteration : parser.values("alter")) {
        const qsizetype at = alteration.indexOf('=');
        if (at <= 0) {
            error = "--alter takes KEY=VALUE, such as P03=+86138";
            return std::nullopt;
        }
        options.alterations.append(
            {alteration.left(at).toLatin1(), alteration.mid(at + 1).toLatin1()});
    }
    options.noise = parser.isSet("noise");
    options.split = parser.isSet("split");
    return options;
}

} // namespace

int main(int argc, char** argv) {
    const pid_t starter = getppid();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("tervo-devsim");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Simulated Tervo tracker on a pseudo-terminal. The first line of standard output is "
        "the terminal's path, to be opened as the serial port; the transcript goes to "
        "standard error. Stop with Ctrl+C.");
    parser.addHelpOption();
    parser.addOptions({
        {"id", "Device identity, 1 to 20 digits (default 0123456789, or the snapshot's).",
         "DIGITS"},
        {"snapshot", "Start with the identity, firmware version and settings of a snapshot file.",
         "FILE"},
        {"delay-ms", "Answer every command this much later.", "N"},
        {"drop", "Lose every Nth reply.", "EVERY_N"},
        {"drop-rate", "Lose this fraction of the replies at random (0 to 1).", "R"},
        {"seed", "Seed for the random drops and the noise (default 1).", "S"},
        {"noise", "Send garbage bytes (never \"!\") before every frame."},
        {"split", "Write every byte of a reply on its own."},
        {"unsolicited-status", "Send a status report every SECS seconds.", "SECS"},
        {"hangup-after", "Close the line after answering N commands.", "N"},
        {"exit-with-parent",
         "Stop when the process that started the simulator ends, as a test's devices should."},
        {"alter",
         "Store and echo VALUE whenever KEY (P03, P11.3, ...) is written, as a device "
         "that keeps something else than it was sent. Repeatable.",
         "KEY=VALUE"},
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tervo-devsim: unexpected argument %s\n",
                     qPrintable(parser.positionalArguments().first()));
        return 2;
    }
    QString error;
    const auto options = ReadOptions(parser, error);
    if (!options) {
        std::fprintf(stderr, "tervo-devsim: %s\n", qPrintable(error));
        return 2;
    }

    // Blocked before the simulator's thread starts, so that it inherits the mask and the
    // signals reach only sigwait below. A shell starts background jobs with SIGINT ignored,
    // and an ignored signal never reaches sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int stop : {SIGINT, SIGTERM}) {
        std::signal(stop, SIG_DFL);
        sigaddset(&stopSignals, stop);
    }
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    if (parser.isSet("exit-with-parent")) {
        // The parent may have ended before the request was made; then there is no one to
        // wait for.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != starter) {
            return 0;
        }
    }

    TSimPty sim(*options);
    sim.SetTranscript([](const QString& line) {
        const QString stamp = QTime::currentTime().toString("HH:mm:ss.zzz");
        std::fprintf(stderr, "%s %s\n", qPrintable(stamp), qPrintable(line));
    });
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "tervo-devsim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(sim.SlavePath()));
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    sim.Stop();
    return 0;
}
