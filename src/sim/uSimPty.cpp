#include "uSimPty.h"

#include "uUtils.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// A program holding the port reads what arrives within microseconds; bytes left unread
// this long mean nobody has the port open. A real line loses what is sent then, while a
// pseudo-terminal would keep it and hand it to the next program that opens the port.
constexpr auto kStaleAfter = 500ms;
// Gap between the bytes of a split reply, so that the reader sees them in separate reads.
constexpr auto kSplitGap = 1ms;
// While the last reply before a hang-up is being read: closing the line would discard it.
constexpr auto kDrainCheck = 2ms;

QString SystemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

bool SetFlags(int fd, int statusFlags) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | statusFlags) == 0 &&
           ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

int TimeoutMs(std::chrono::steady_clock::time_point wake,
              std::chrono::steady_clock::time_point now) {
    if (wake == std::chrono::steady_clock::time_point::max()) {
        return -1;
    }
    if (wake <= now) {
        return 0;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
    return static_cast<int>(std::min<decltype(ms)>(ms, 60'000));
}

} // namespace

TSimPty::TSimPty(TSimOptions options) : FOptions(std::move(options)), FRandom(FOptions.seed) {
    FDevice.SetTranscript([this](const QString& line) { FDeviceNotes.append(line); });
}

TSimPty::~TSimPty() {
    Stop();
}

bool TSimPty::Start(QString* error) {
    const auto fail = [&](const QString& reason) {
        if (error) {
            *error = reason;
        }
        CloseLine();
        CloseFd(FWake[0]);
        CloseFd(FWake[1]);
        return false;
    };
    if (FThread.joinable() || FHungUp) {
        return fail(QStringLiteral("the simulator runs only once"));
    }
    FDevice.SetProtocolFrames(FOptions.protocolFrames);
    if (!FDevice.SetId(FOptions.id)) {
        return fail(QStringLiteral("the device identity must be 1 to 20 decimal digits"));
    }
    if (!FOptions.version.isEmpty() && !FDevice.SetVersion(FOptions.version)) {
        return fail(QStringLiteral("the firmware version cannot travel in a reply"));
    }
    for (const QByteArray& command : std::as_const(FOptions.presets)) {
        if (!FDevice.Preset(command)) {
            return fail(
                QStringLiteral("the device does not take %1").arg(QString::fromLatin1(command)));
        }
    }
    for (const auto& [key, value] : std::as_const(FOptions.alterations)) {
        if (!FDevice.SetAlteration(key, value)) {
            return fail(QStringLiteral("no writable parameter %1").arg(QString::fromLatin1(key)));
        }
    }
    FDevice.SetSignal(FOptions.gps, FOptions.gsm);
    FDevice.SetBattery(FOptions.battery);
    if (::pipe(FWake) != 0 || !SetFlags(FWake[0], O_NONBLOCK) || !SetFlags(FWake[1], O_NONBLOCK)) {
        return fail(SystemError("pipe"));
    }
    if (const auto lineError = OpenLine()) {
        return fail(*lineError);
    }
    PluggedIn();
    FThread = std::thread(&TSimPty::Run, this);
    return true;
}

std::optional<QString> TSimPty::OpenLine() {
    const auto fail = [this](const QString& reason) {
        CloseLine();
        return reason;
    };
    FMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (FMaster < 0) {
        return fail(SystemError("posix_openpt"));
    }
    char name[128] = {};
    if (::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0 ||
        ::ptsname_r(FMaster, name, sizeof name) != 0) {
        return fail(SystemError("pseudo-terminal set-up"));
    }
    if (!SetFlags(FMaster, O_NONBLOCK)) {
        return fail(SystemError("fcntl"));
    }
    // The held slave keeps the line up while no program has the port open: without it the
    // master reports a hang-up without end once the last program closes the port.
    FSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios mode{};
    if (FSlave < 0 || ::tcgetattr(FSlave, &mode) != 0) {
        return fail(SystemError(name));
    }
    ::cfmakeraw(&mode);
    if (::tcsetattr(FSlave, TCSANOW, &mode) != 0) {
        return fail(SystemError("tcsetattr"));
    }
    std::lock_guard lock(FPathLock);
    FSlavePath = QString::fromLocal8Bit(name);
    return std::nullopt;
}

QString TSimPty::SlavePath() const {
    std::lock_guard lock(FPathLock);
    return FSlavePath;
}

void TSimPty::Unplug() {
    Command('u');
}

void TSimPty::Plug() {
    Command('p');
}

void TSimPty::Command(char command) {
    if (FThread.joinable()) {
        [[maybe_unused]] const ssize_t sent = ::write(FWake[1], &command, 1);
    }
}

void TSimPty::Stop() {
    if (FThread.joinable()) {
        Command('q');
        FThread.join();
    }
    CloseLine();
    CloseFd(FWake[0]);
    CloseFd(FWake[1]);
}

TDeviceSim TSimPty::Snapshot() const {
    std::lock_guard lock(FDeviceLock);
    TDeviceSim copy = FDevice;
    copy.SetTranscript({});
    return copy;
}

void TSimPty::WithDevice(const std::function<void(TDeviceSim&)>& change) {
    std::lock_guard lock(FDeviceLock);
    change(FDevice);
}

void TSimPty::Run() {
    // A write to a line nobody holds must fail with an error, not end the program.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    const std::chrono::seconds period(FOptions.unsolicitedStatusSecs);
    auto nextStatus = period.count() > 0 ? TClock::now() + period : TClock::time_point::max();
    for (;;) {
        const bool lineUp = FMaster >= 0;
        auto wake = std::min(lineUp ? nextStatus : FPlugAt, FSignalAt);
        if (FDrainingSince) {
            wake = TClock::now() + kDrainCheck;
        } else if (lineUp && FBlocked) {
            wake = std::min(wake, FLastWrite + kStaleAfter);
        } else if (lineUp && !FOutput.empty()) {
            wake = std::min(wake, FOutput.front().due);
        }
        pollfd fds[2] = {{FWake[0], POLLIN, 0}, {FMaster, 0, 0}};
        if (!FHangUpPending) {
            fds[1].events |= POLLIN;
        }
        if (FBlocked) {
            fds[1].events |= POLLOUT;
        }
        if (::poll(fds, lineUp ? 2 : 1, TimeoutMs(wake, TClock::now())) < 0 && errno != EINTR) {
            Note(SystemError("-- poll"));
            return;
        }
        if (fds[0].revents != 0) {
            char commands[16];
            const ssize_t n = ::read(FWake[0], commands, sizeof commands);
            for (ssize_t i = 0; i < n; ++i) {
                if (commands[i] == 'u' && FMaster >= 0) {
                    Unplugged(QStringLiteral("-- unplugged"));
                } else if (commands[i] == 'p' && FMaster < 0) {
                    PlugIn();
                } else if (commands[i] != 'u' && commands[i] != 'p') {
                    return; // Stop
                }
            }
            continue;
        }
        if (lineUp && (fds[1].revents & POLLIN) != 0) {
            ReadHost();
        }
        const auto now = TClock::now();
        if (now >= FSignalAt) {
            FSignalAt = TClock::time_point::max();
            std::lock_guard lock(FDeviceLock);
            FDevice.SetSignal(FOptions.gps, FOptions.gsm);
        }
        if (!lineUp && now >= FPlugAt) {
            PlugIn();
            continue;
        }
        if (lineUp && now >= nextStatus) {
            QByteArray text;
            {
                std::lock_guard lock(FDeviceLock);
                text = FDevice.StatusText();
            }
            if (!text.isEmpty()) {
                QueueFrame(now, text, false);
            }
            while (nextStatus <= now) {
                nextStatus += period;
            }
        }
        if (FDrainingSince) {
            if (Unread() == 0 || now - *FDrainingSince >= kStaleAfter) {
                HangUp();
            }
        } else if (FMaster >= 0) {
            WriteDue(now);
        }
    }
}

void TSimPty::ReadHost() {
    QByteArray bytes;
    char chunk[1024];
    for (ssize_t n = 0; (n = ::read(FMaster, chunk, sizeof chunk)) > 0;) {
        bytes.append(chunk, n);
    }
    if (bytes.isEmpty()) {
        return;
    }
    QByteArrayList replies;
    QStringList notes;
    int answered = 0;
    {
        std::lock_guard lock(FDeviceLock);
        replies = FDevice.ReceiveTexts(bytes);
        answered = FDevice.Answered();
        notes.swap(FDeviceNotes);
    }
    for (const QString& note : notes) {
        Note(note);
    }
    const auto due = TClock::now() + std::chrono::milliseconds(FOptions.delayMs);
    int number = answered - static_cast<int>(replies.size());
    for (const QByteArray& reply : replies) {
        ++number;
        // Once: a device plugged in again after its hang-up keeps its line.
        const bool last = FOptions.hangupAfter > 0 && number >= FOptions.hangupAfter && !FHungUp;
        if (!Dropped()) {
            QueueFrame(due, reply, last);
        } else {
            Note("-- reply dropped: " + QString::fromLatin1(reply));
            if (last) {
                Queue({due, {}, {}, true});
            }
        }
        if (last) {
            // Commands after the last one are not answered: the line is about to go.
            FHangUpPending = true;
            break;
        }
    }
}

void TSimPty::QueueFrame(TClock::time_point due, const QByteArray& text, bool hangUp) {
    // The device texts always fit in a frame (TDeviceSim caps them).
    Queue({due, Noise() + EncodeFrame(text).value(), ">> " + QString::fromLatin1(text), hangUp});
}

void TSimPty::Queue(TOutput output) {
    // By due time, but never ahead of bytes already on their way.
    const auto at = std::find_if(FOutput.begin(), FOutput.end(), [&](const TOutput& queued) {
        return queued.written == 0 && queued.due > output.due;
    });
    FOutput.insert(at, std::move(output));
}

void TSimPty::WriteDue(TClock::time_point now) {
    while (!FOutput.empty() && FOutput.front().due <= now) {
        TOutput& out = FOutput.front();
        const qsizetype left = out.bytes.size() - out.written;
        const qsizetype chunk = FOptions.split ? std::min<qsizetype>(1, left) : left;
        if (chunk > 0) {
            DropStaleInput(now);
        }
        if (!out.line.isEmpty()) {
            Note(out.line);
            out.line.clear();
        }
        if (chunk > 0) {
            const ssize_t n = ::write(FMaster, out.bytes.constData() + out.written, chunk);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno == EAGAIN) {
                FBlocked = true;
                return;
            }
            // Any other failure loses the bytes, as a line would.
            out.written = n < 0 ? out.bytes.size() : out.written + n;
            FLastWrite = now;
        }
        FBlocked = false;
        if (out.written < out.bytes.size()) {
            if (FOptions.split) {
                out.due = now + kSplitGap;
            }
            continue;
        }
        const bool hangUp = out.hangUp;
        FOutput.pop_front();
        if (hangUp) {
            // A real line delivers the last bytes before it goes; a pseudo-terminal drops
            // what its reader has not taken yet, so wait for that first.
            FDrainingSince = now;
            return;
        }
    }
}

int TSimPty::Unread() const {
    int unread = 0;
    return ::ioctl(FSlave, FIONREAD, &unread) == 0 ? unread : 0;
}

void TSimPty::DropStaleInput(TClock::time_point now) {
    const int unread = now - FLastWrite < kStaleAfter ? 0 : Unread();
    if (unread == 0) {
        return;
    }
    ::tcflush(FSlave, TCIFLUSH);
    Note(QStringLiteral("-- %1 unread bytes dropped: nobody has the port open").arg(unread));
}

void TSimPty::HangUp() {
    // Set first: whoever sees the line vanish must find HungUp() true.
    FHungUp = true;
    Unplugged(QStringLiteral("-- hung up"));
}

// Closing both ends makes the line vanish for the program that has the port open; whoever
// sees that finds the path gone already.
void TSimPty::Unplugged(const QString& note) {
    {
        std::lock_guard lock(FPathLock);
        FSlavePath.clear();
    }
    CloseLine();
    FOutput.clear();
    FBlocked = false;
    FHangUpPending = false;
    FDrainingSince.reset();
    FSignalAt = TClock::time_point::max();
    if (FOptions.replugAfterMs >= 0) {
        FPlugAt = TClock::now() + std::chrono::milliseconds(FOptions.replugAfterMs);
    }
    Note(note);
    if (FLineChanged) {
        FLineChanged(QString());
    }
}

void TSimPty::PlugIn() {
    FPlugAt = TClock::time_point::max();
    if (const auto error = OpenLine()) {
        Note(QStringLiteral("-- cannot plug in: %1").arg(*error));
        return;
    }
    Note(QStringLiteral("-- plugged in at %1").arg(SlavePath()));
    PluggedIn();
}

// A new line starts quiet, and a tracker just powered looks for its fix again.
void TSimPty::PluggedIn() {
    FLastWrite = TClock::now();
    if (FOptions.signalAfterMs > 0) {
        {
            std::lock_guard lock(FDeviceLock);
            FDevice.SetSignal(0, 0);
        }
        FSignalAt = FLastWrite + std::chrono::milliseconds(FOptions.signalAfterMs);
    }
    if (FLineChanged) {
        FLineChanged(SlavePath());
    }
}

QByteArray TSimPty::Noise() {
    if (!FOptions.noise) {
        return {};
    }
    QByteArray bytes(1 + static_cast<int>(FRandom() % 8), Qt::Uninitialized);
    for (char& byte : bytes) {
        // Any byte but the delimiter: garbage that a sound receiver skips.
        const auto value = static_cast<unsigned>(FRandom() % 255);
        byte = static_cast<char>(value >= 0x21 ? value + 1 : value);
    }
    return bytes;
}

bool TSimPty::Dropped() {
    ++FReplies;
    const bool counted = FOptions.dropEvery > 0 && FReplies % FOptions.dropEvery == 0;
    const bool random = FOptions.dropRate > 0 && FRandom() < FOptions.dropRate * 4294967296.0;
    return counted || random;
}

void TSimPty::Note(const QString& line) const {
    if (FTranscript) {
        FTranscript(line);
    }
}

void TSimPty::CloseLine() {
    CloseFd(FMaster);
    CloseFd(FSlave);
}
