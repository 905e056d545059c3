#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QtGlobal>

// How the simulated device behaves on its line. Everything off by default: a well-behaved
// device that answers at once.
struct TSimOptions {
    QByteArray id = "0123456789";  // device identity, 1 to 20 decimal digits
    int delayMs = 0;               // every reply leaves this much later
    int dropEvery = 0;             // 0 = off; N = every Nth reply is lost
    double dropRate = 0;           // fraction of replies lost at random (0 to 1)
    quint32 seed = 1;              // for the random drops and the noise
    bool noise = false;            // garbage bytes (never "!") before each frame
    bool split = false;            // each byte of a frame goes out in a write of its own
    int unsolicitedStatusSecs = 0; // 0 = off; N = a status report every N seconds
    int hangupAfter = 0;           // 0 = off; N = the line closes once N commands are answered
    int replugAfterMs = -1;        // -1 = never; N = a closed line comes back N ms later
    int gps = 4;                   // levels of the status report
    int gsm = 24;
    int battery = 85; // percent, 0 to 100
    // 0 = off; N = after each plug-in GPS and GSM read 0 for N ms, then the levels above, as
    // a tracker finding its fix
    int signalAfterMs = 0;
    // Frames are read as the protocol's own receiver reads them: every "!" ends one, and its
    // command is the text from the first "(" after the header to the next ")"; length and
    // checksum go unread.
    bool protocolFrames = false;
    QByteArray version; // firmware version; empty: the simulator's own
    // Write commands ("(P03,1,+86...)") whose values the device holds from the start.
    QList<QByteArray> presets;
    // Writes of these keys ("P03", "P11.3") store and echo the given value instead of the
    // written one, as a device that shortens or clamps what it is sent.
    QList<QPair<QByteArray, QByteArray>> alterations;
};
