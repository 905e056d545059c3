#include "uCliRunner.h"

#include "uCliDevice.h"
#include "uCliInterrupt.h"
#include "uCliOptions.h"
#include "uUtils.h"

#include <QThread>
#include <algorithm>
#include <cstdio>

TCliRunner::TCliRunner(bool quiet, TCliInterrupt& interrupt, TEnded ended)
    : FQuiet(quiet), FInterrupt(interrupt), FEnded(std::move(ended)) {}

// Devices still running when the run is torn down end with their threads.
TCliRunner::~TCliRunner() {
    for (TRunning& running : FRunning) {
        running.Thread->quit();
        running.Thread->wait();
    }
}

void TCliRunner::Start(std::unique_ptr<TCliDevice> device) {
    TRunning running{std::move(device), std::make_unique<QThread>()};
    TCliDevice* started = running.Device.get();
    QThread* thread = running.Thread.get();
    started->moveToThread(thread);
    connect(thread, &QThread::started, started, &TCliDevice::Run);
    // The device drops its port, engine and session on its own thread, after its event loop.
    connect(thread, &QThread::finished, started, &TCliDevice::Release, Qt::DirectConnection);
    if (!FQuiet) {
        connect(started, &TCliDevice::Progress, this, [](const QString& port, const QString& text) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(EscapeControls(port)),
                         qPrintable(EscapeControls(text)));
        });
    }
    connect(started, &TCliDevice::Done, this, [this, started] { Ended(started); });
    connect(&FInterrupt, &TCliInterrupt::Interrupted, started, &TCliDevice::Interrupt);
    FRunning.push_back(std::move(running));
    thread->start();
}

bool TCliRunner::IsRunning(const QString& port) const {
    return std::any_of(FRunning.begin(), FRunning.end(),
                       [&port](const TRunning& running) { return running.Device->Port() == port; });
}

QString TCliRunner::SameTerminal(const QString& port) const {
    const QString terminal = CanonicalPort(port);
    for (const TRunning& running : FRunning) {
        if (running.Device->Port() != port && CanonicalPort(running.Device->Port()) == terminal) {
            return running.Device->Port();
        }
    }
    return QString();
}

void TCliRunner::Unplug(const QString& port) {
    for (const TRunning& running : FRunning) {
        if (running.Device->Port() == port) {
            QMetaObject::invokeMethod(running.Device.get(), &TCliDevice::Unplug,
                                      Qt::QueuedConnection);
        }
    }
}

void TCliRunner::Ended(TCliDevice* device) {
    const auto it =
        std::find_if(FRunning.begin(), FRunning.end(),
                     [device](const TRunning& running) { return running.Device.get() == device; });
    if (it == FRunning.end()) {
        return;
    }
    TRunning ended = std::move(*it);
    FRunning.erase(it);
    ended.Thread->quit();
    ended.Thread->wait();
    FEnded(std::move(ended.Device));
}
