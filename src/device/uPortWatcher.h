#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

// Watches for serial ports coming and going: the system's list of ports, or the paths that
// match glob patterns (wildcards in the last part of the path, such as /dev/serial/by-id/*
// or /run/bench/tracker*). A port counts as present while its path leads to a device; a
// link that leads elsewhere than before is a port unplugged and plugged in again.
class TPortWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 200;

    // No patterns: the system's list.
    explicit TPortWatcher(QStringList patterns, QObject* parent = nullptr);

    // Looks at once, then every kPollMs.
    void Start();
    void Stop() { FTimer.stop(); }
    // The port counts as gone: if it is there at the next look, it appears again.
    void Forget(const QString& port) { FPresent.remove(port); }
    bool IsPresent(const QString& port) const { return FPresent.contains(port); }
    // The paths present now, as the patterns or the system list give them.
    QStringList Look() const;
    // Looks now: Vanished for every port gone or leading elsewhere, then Appeared for every
    // new one, in the order of the look.
    void Check();

Q_SIGNALS:
    void Appeared(const QString& port);
    void Vanished(const QString& port);

private:
    QStringList FPatterns;
    QHash<QString, QString> FPresent; // path -> where it led when it appeared
    QTimer FTimer;
};
