#pragma once

#include "uRecordStore.h"

#include <QString>
#include <QStringList>
#include <optional>

// The command line of tervo-cli, checked: what to do, on which ports, with which files.
struct TCliOptions {
    // backup, restore, verify, diff, fences-export, fences-import, scan, records or station
    QString Command;
    QStringList Ports; // scan: empty for the system's ports
    int Baud = 9600;
    QString Out;    // backup: the snapshot to write
    QString Report; // restore, verify: the JSON report; station: its JSON lines; when asked for
    bool ReadBack = true;
    bool Quiet = false;
    bool Json = false; // scan: JSON on standard output instead of a table
    // restore, verify, station: per-device values over the snapshot
    QString Values;
    bool ValuesOptional = false;
    // station: where ports appear (empty: the system's list) and the levels to wait for
    QStringList Watch;
    std::optional<int> NeedGps, NeedGsm;
    int SignalWaitSecs = 60;
    // restore, verify: the snapshot; station: the template; diff: the two snapshots;
    // fences-export and fences-import: the snapshot and the GeoJSON or KML file
    QStringList Files;
    // backup, restore, verify, station, records: --records, the records database; null when not
    // given
    QString Records;
    // records: which to list, and as "table", "csv" or "json"
    TRecordFilter Filter;
    QString Format = QStringLiteral("table");

    // The files the command writes and those it reads; "-" is standard output among the
    // outputs and standard input among the inputs.
    QStringList Outputs() const;
    QStringList Inputs() const;
};

// Reads the arguments (the program name first). On a usage error returns nullopt with the
// message and a line naming the help in error; with --help (of the program or of a command)
// or --version returns nullopt with the text to print in help.
std::optional<TCliOptions> ParseCliOptions(const QStringList& arguments, QString& error,
                                           QString& help);

// The terminal behind a port, its links resolved: a link and its terminal are one device.
// The port's path as it is when it does not exist.
QString CanonicalPort(const QString& port);
