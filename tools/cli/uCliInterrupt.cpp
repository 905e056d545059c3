#include "uCliInterrupt.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler only writes the signal's number into a socket the main loop watches.
int gSockets[2] = {-1, -1};
volatile std::sig_atomic_t gSignal = 0;

constexpr int kSignals[] = {SIGINT, SIGTERM};

void OnSignal(int number) {
    if (gSignal != 0) {
        // Asked twice: the program ends now, as the signal ends a program by default.
        std::signal(number, SIG_DFL);
        std::raise(number);
        return;
    }
    gSignal = number;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(gSockets[1], &byte, 1);
}

} // namespace

TCliInterrupt::TCliInterrupt() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSockets) != 0) {
        return; // the signals keep ending the program as before
    }
    gSignal = 0;
    FNotifier = std::make_unique<QSocketNotifier>(gSockets[0], QSocketNotifier::Read);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, &TCliInterrupt::Read);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kSignals) {
        sigaction(number, &action, nullptr);
    }
}

TCliInterrupt::~TCliInterrupt() {
    for (const int number : kSignals) {
        std::signal(number, SIG_DFL);
    }
    FNotifier.reset();
    for (int& socket : gSockets) {
        if (socket >= 0) {
            ::close(socket);
            socket = -1;
        }
    }
}

QString TCliInterrupt::SignalName() const {
    return FSignal == SIGTERM ? QStringLiteral("SIGTERM") : QStringLiteral("SIGINT");
}

void TCliInterrupt::Read() {
    char byte = 0;
    if (::read(gSockets[0], &byte, 1) == 1 && FSignal == 0) {
        FSignal = byte;
        Q_EMIT Interrupted();
    }
}
