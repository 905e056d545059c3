#pragma once

#include "uStatusReport.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <vector>

// What a serial port said when asked which tracker is there: its status report (identity,
// alias, GPS, GSM and battery levels) and its firmware version, or what kept it from
// answering.
struct TPortProbe {
    enum class TState { Answered, NoAnswer, Busy, NoPermission, Missing, Failed };

    QString Port;
    TState State = TState::NoAnswer;
    QString Error; // the port layer's text when the port did not open
    TStatusReport Status;
    QString Firmware; // empty when the device did not tell in time
};

// Asks one port for "(T01,0)" and then "(P01,0)", with the protocol's pause between them, and
// gives up on the port once limit has passed since it started. Blocks the calling thread.
TPortProbe ProbePort(const QString& port, int baud, std::chrono::milliseconds limit);

// Every port at once, each on a thread of its own; the results in the order of ports.
std::vector<TPortProbe> ProbePorts(const QStringList& ports, int baud,
                                   std::chrono::milliseconds limit);
