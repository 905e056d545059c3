// tervo-devsim: a simulated tracker on a pseudo-terminal. Prints the terminal's path alone on
// the first line of standard output (and the new path on a line of its own each time it is
// plugged in again), then a transcript on standard error until SIGINT or SIGTERM. SIGUSR1
// unplugs the device, SIGUSR2 plugs it in again.

#include "uCommandLine.h"
#include "uSimPty.h"
#include "uSimSnapshot.h"
#include "uSnapshot.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTime>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/prctl.h>
#include <sys/stat.h>
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

// A decimal number of seconds as milliseconds; fallback when the option is not given.
std::optional<int> Millis(const QCommandLineParser& parser, const QString& name, int fallback) {
    if (!parser.isSet(name)) {
        return fallback;
    }
    bool ok = false;
    const double seconds = parser.value(name).toDouble(&ok);
    if (!ok || !(seconds >= 0 && seconds <= 86400)) {
        return std::nullopt;
    }
    return static_cast<int>(seconds * 1000 + 0.5);
}

// Points a symbolic link at the terminal while the device is plugged in, as a udev rule
// names a plugged tracker; replaced in one step, so a watcher never sees a half-made link.
class TLineLink {
public:
    explicit TLineLink(QString path) : FPath(std::move(path)) {}
    ~TLineLink() { Set(QString()); }

    // Refused when something other than a link is in the way.
    bool Usable() const {
        struct stat info {};
        return FPath.isEmpty() || ::lstat(Name(FPath).constData(), &info) != 0 ||
               S_ISLNK(info.st_mode);
    }
    // Empty target: the link goes.
    void Set(const QString& target) const {
        if (FPath.isEmpty()) {
            return;
        }
        if (target.isEmpty()) {
            ::unlink(Name(FPath).constData());
            return;
        }
        const QByteArray temporary = Name(FPath) + ".new" + QByteArray::number(::getpid());
        ::unlink(temporary.constData());
        if (::symlink(Name(target).constData(), temporary.constData()) != 0 ||
            ::rename(temporary.constData(), Name(FPath).constData()) != 0) {
            std::fprintf(stderr, "tervo-devsim: cannot link %s to %s\n", qPrintable(FPath),
                         qPrintable(target));
            ::unlink(temporary.constData());
        }
    }

private:
    static QByteArray Name(const QString& path) { return QFile::encodeName(path); }
    QString FPath;
};

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
    const auto gps = parser.isSet("gps") ? Count(parser, "gps") : options.gps;
    const auto gsm = parser.isSet("gsm") ? Count(parser, "gsm") : options.gsm;
    if (!delay || !drop || !status || !hangup || !gps || !gsm) {
        error = "--delay-ms, --drop, --unsolicited-status, --hangup-after, --gps and --gsm take "
                "a whole number of 0 or more";
        return std::nullopt;
    }
    options.delayMs = *delay;
    options.dropEvery = *drop;
    options.unsolicitedStatusSecs = *status;
    options.hangupAfter = *hangup;
    options.gps = *gps;
    options.gsm = *gsm;
    if (parser.isSet("battery")) {
        const auto battery = Count(parser, "battery");
        if (!battery || *battery > 100) {
            error = "--battery takes a percentage from 0 to 100";
            return std::nullopt;
        }
        options.battery = *battery;
    }
    const auto signalAfter = Millis(parser, "signal-after", 0);
    const auto replugAfter = Millis(parser, "replug-after", -1);
    if (!signalAfter || !replugAfter) {
        error = "--signal-after and --replug-after take seconds, such as 2 or 0.5";
        return std::nullopt;
    }
    options.signalAfterMs = *signalAfter;
    options.replugAfterMs = *replugAfter;
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
    options.protocolFrames = parser.isSet("protocol-frames");
    options.split = parser.isSet("split");
    return options;
}

} // namespace

int main(int argc, char** argv) {
    const pid_t starter = getppid();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("tervo-devsim");
    QCoreApplication::setApplicationVersion(ProgramVersion());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Simulated Tervo tracker on a pseudo-terminal. The first line of standard output is "
        "the terminal's path, to be opened as the serial port; the transcript goes to "
        "standard error. Stop with Ctrl+C.");
    parser.addOptions({
        {{"h", "help"}, "Print this help and exit."},
        {"version", "Print the version and exit."},
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
        {"protocol-frames",
         "Read frames as the protocol's own receiver does: every \"!\" ends a frame, whose "
         "command runs from its first \"(\" to the next \")\"; length and checksum are not read."},
        {"unsolicited-status", "Send a status report every SECS seconds.", "SECS"},
        {"hangup-after", "Close the line after answering N commands (once).", "N"},
        {"replug-after",
         "Plug the device in again SECS seconds after its line closed (hang-up or SIGUSR1).",
         "SECS"},
        {"link", "Keep a symbolic link at PATH to the terminal while the device is plugged in.",
         "PATH"},
        {"gps", "GPS level of the status report (default 4).", "N"},
        {"gsm", "GSM level of the status report (default 24).", "N"},
        {"battery", "Battery percent of the status report (default 85).", "N"},
        {"signal-after",
         "GPS and GSM read 0 for SECS seconds after each plug-in, then the levels given.", "SECS"},
        {"exit-with-parent",
         "Stop when the process that started the simulator ends, as a test's devices should."},
        {"alter",
         "Store and echo VALUE whenever KEY (P03, P11.3, ...) is written, as a device "
         "that keeps something else than it was sent. Repeatable.",
         "KEY=VALUE"},
    });
    const auto usageError = [](const QString& problem) {
        std::fprintf(stderr, "tervo-devsim: %s\n%s\n", qPrintable(problem),
                     qPrintable(TryHelpLine("tervo-devsim --help")));
        return 2;
    };
    if (!parser.parse(app.arguments())) {
        return usageError(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty()) {
        return usageError("unexpected argument " + parser.positionalArguments().first());
    }
    if (parser.isSet("help")) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet("version")) {
        std::fputs(qPrintable(VersionText("tervo-devsim")), stdout);
        return 0;
    }
    QString error;
    const auto options = ReadOptions(parser, error);
    if (!options) {
        return usageError(error);
    }

    const TLineLink link(parser.value("link"));
    if (!link.Usable()) {
        std::fprintf(stderr, "tervo-devsim: %s exists and is not a symbolic link\n",
                     qPrintable(parser.value("link")));
        return 2;
    }

    // Blocked before the simulator's thread starts, so that it inherits the mask and the
    // signals reach only sigwait below. A shell starts background jobs with SIGINT ignored,
    // and an ignored signal never reaches sigwait.
    sigset_t watched;
    sigemptyset(&watched);
    for (const int caught : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) {
        std::signal(caught, SIG_DFL);
        sigaddset(&watched, caught);
    }
    pthread_sigmask(SIG_BLOCK, &watched, nullptr);
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
    sim.SetLineChanged([&link](const QString& path) {
        link.Set(path);
        if (!path.isEmpty()) {
            std::printf("%s\n", qPrintable(path));
            std::fflush(stdout);
        }
    });
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "tervo-devsim: %s\n", qPrintable(error));
        return 1;
    }

    for (;;) {
        int signal = 0;
        sigwait(&watched, &signal);
        if (signal == SIGUSR1) {
            sim.Unplug();
        } else if (signal == SIGUSR2) {
            sim.Plug();
        } else {
            break;
        }
    }
    sim.Stop();
    return 0;
}
