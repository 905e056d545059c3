#pragma once

#include "uDeviceSim.h"
#include "uSimOptions.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

// Runs a TDeviceSim behind a POSIX pseudo-terminal, on a thread of its own with a poll()
// loop, so a program can open SlavePath() like a serial port. Works in-process while the
// caller's thread blocks or runs its own event loop. Faults come from TSimOptions.
//
// Like a real line, it loses what nobody reads: bytes left unread for half a second are
// discarded before new ones go out, so a program that opens the port later does not get
// stale replies or status reports. A hang-up waits (up to that long) until the last reply
// has been read, then closes the line.
//
// The device can be unplugged (the terminal closes, as a pulled cable) and plugged in again
// (a new terminal, usually at another path); its settings stay.
class TSimPty {
public:
    using TTranscript = std::function<void(const QString&)>;
    // The terminal's path after each plug-in, the first at Start; empty when unplugged.
    using TLineChanged = std::function<void(const QString&)>;

    explicit TSimPty(TSimOptions options);
    ~TSimPty();
    TSimPty(const TSimPty&) = delete;
    TSimPty& operator=(const TSimPty&) = delete;

    // Lines "<< command", ">> reply" and "-- note", called on the simulator's thread. Set it
    // before Start.
    void SetTranscript(TTranscript transcript) { FTranscript = std::move(transcript); }
    // Called on the caller's thread at Start, on the simulator's thread later. Set it before
    // Start.
    void SetLineChanged(TLineChanged changed) { FLineChanged = std::move(changed); }

    // Opens the pseudo-terminal and starts the thread; false with a reason on failure.
    bool Start(QString* error);
    // The path a serial port opens, such as /dev/pts/3; empty before Start and while
    // unplugged.
    QString SlavePath() const;
    // Ends the thread and closes the line; returns promptly, also with replies still due.
    void Stop();
    // True once the line was closed by the hang-up option.
    bool HungUp() const { return FHungUp; }
    // From any thread; each does nothing when the device already is so.
    void Unplug();
    void Plug();

    // A copy of the device as it stands now.
    TDeviceSim Snapshot() const;
    // Runs change on the device while the simulator's thread keeps off it.
    void WithDevice(const std::function<void(TDeviceSim&)>& change);

private:
    using TClock = std::chrono::steady_clock;

    // Bytes due on the line at a time, with the transcript line that announces them.
    struct TOutput {
        TClock::time_point due;
        QByteArray bytes;
        QString line;
        bool hangUp = false; // close the line once these bytes are out
        qsizetype written = 0;
    };

    void Run();
    // A new terminal; the reason when there is none.
    std::optional<QString> OpenLine();
    void Command(char command);
    void ReadHost();
    void QueueFrame(TClock::time_point due, const QByteArray& text, bool hangUp);
    void Queue(TOutput output);
    void WriteDue(TClock::time_point now);
    void DropStaleInput(TClock::time_point now);
    int Unread() const; // bytes written that the program has not read yet
    void HangUp();
    void Unplugged(const QString& note);
    void PlugIn();
    void PluggedIn();
    QByteArray Noise();
    bool Dropped();
    void Note(const QString& line) const;
    void CloseLine();

    TSimOptions FOptions;
    TDeviceSim FDevice;
    mutable std::mutex FDeviceLock;
    QStringList FDeviceNotes; // collected under FDeviceLock, written out after it
    TTranscript FTranscript;
    TLineChanged FLineChanged;
    mutable std::mutex FPathLock;
    QString FSlavePath; // under FPathLock
    int FMaster = -1;
    int FSlave = -1; // held for the whole run, never read
    int FWake[2] = {-1, -1};
    std::thread FThread;
    std::atomic<bool> FHungUp = false;
    bool FHangUpPending = false;
    bool FBlocked = false;                                    // the last write found the line full
    std::optional<TClock::time_point> FDrainingSince;         // hang-up waits for the last reply
    TClock::time_point FPlugAt = TClock::time_point::max();   // while unplugged
    TClock::time_point FSignalAt = TClock::time_point::max(); // levels rise then
    std::deque<TOutput> FOutput;
    TClock::time_point FLastWrite;
    int FReplies = 0;
    std::mt19937 FRandom;
};
