#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QList>
#include <QString>
#include <array>
#include <functional>

// The tracker's side of the serial protocol, without any I/O: host bytes go in, reply frames
// come out. Keeps the device's settings, its identity and its status readings.
//
// Commands are "(P%.2d,flag,args)", "(T01,0)" and "(P20)". Every known parameter is answered
// "(ID,Pnn,values...)" with the values a read returns; a write stores its values first. An
// unknown number is answered "(ID,Pnn)". A command that does not fit its parameter's layout
// (missing or extra arguments, a value out of range, a read-only parameter written) is
// ignored, as the device firmware does: no reply and nothing stored; the host's time-out
// covers it. Values are stored as received, except that integers are kept as numbers and
// come back in plain decimal ("007" reads back as "7").
class TDeviceSim {
public:
    using TTranscript = std::function<void(const QString&)>;

    TDeviceSim();

    // Appends host bytes to the receive buffer and answers every good command frame in it,
    // in order. Bad frames (header, length, checksum, end delimiter) are skipped by looking
    // for the next "!".
    QList<QByteArray> Receive(const QByteArray& bytes);
    // The same, giving the reply texts before framing.
    QByteArrayList ReceiveTexts(const QByteArray& bytes);

    // An unsolicited "(ID,T01,0,alias,gps,gsm,battery)" frame, and its text (empty when an
    // altered alias leaves it too long for a frame).
    QByteArray StatusReport() const;
    QByteArray StatusText() const;

    // Factory defaults for every writable parameter; identity, firmware version and the
    // status readings stay.
    void RestoreDefaults();

    // 1 to 20 decimal digits; anything else is refused and the identity stays.
    bool SetId(const QByteArray& id);
    QByteArray Id() const { return FId; }
    // Refused when it could not travel as one reply field.
    bool SetVersion(const QByteArray& version);
    QByteArray Version() const;
    void SetSignal(int gpsLevel, int gsmLevel);
    void SetBattery(int percent); // clamped to 0..100
    int GpsLevel() const { return FGps; }
    int GsmLevel() const { return FGsm; }
    int Battery() const;

    // A parameter's stored values: what a read replies with after the key for 08, 11 and 22
    // (key = fence number or VIP index; ignored for the others), though a read sends only
    // as many time points as fit in a frame. Empty for unknown numbers and keys.
    QByteArrayList Values(int paramNo, int key = 0) const;
    QByteArray VipNumber(int k) const;
    std::array<bool, 4> VipFlags(int k) const; // geo-fence, self geo-fence, SOS, battery
    QList<int> TimePoints() const;             // minutes of the day, as stored
    int KeepAlive() const;
    int Volume() const;

    // Reads frames from now on as the protocol's own receiver does (see TSimOptions).
    void SetProtocolFrames(bool on) { FProtocolFrames = on; }
    // Every command text the device took from the line, in order, whether it acted on it or not.
    const QByteArrayList& Received() const { return FReceived; }

    int Answered() const { return FAnswered; }   // replies produced, status queries included
    int Ignored() const { return FIgnored; }     // good frames holding no acceptable command
    int BadFrames() const { return FBadFrames; } // stretches skipped before a good frame

    // From now on a write of key ("P03", or "P11.3" for a keyed parameter) stores value (the
    // reply's fields after the key, joined by ",") instead of what was written. False for a
    // key the device does not have.
    bool SetAlteration(const QByteArray& key, const QByteArray& value);

    // Stores a write command's values ("(P03,1,+86...)") as if the host had sent it, without
    // a reply, a count or a transcript line: how a device starts with given settings. False
    // when the device does not take the command.
    bool Preset(const QByteArray& command);

    // Receives "<< command" for every command frame and "-- ..." notes on skipped frames and
    // ignored commands.
    void SetTranscript(TTranscript transcript) { FTranscript = std::move(transcript); }

private:
    // The next command text of the buffer, cut the protocol's way; false when no frame is
    // complete yet. An empty text: a frame without a command, dropped.
    bool CutAtDelimiters(QByteArray& text);
    QByteArray Answer(const QByteArray& text);
    QByteArray AnswerParam(int number, const QByteArray& text, bool write, QByteArrayList args);
    QByteArray Ignore(const QByteArray& text, const QString& reason);
    void Note(const QString& line) const;

    QByteArray FId = "0123456789";
    int FGps = 4;
    int FGsm = 24;
    QByteArray FRxBuffer;
    // Parameter number → one value list per key (a single one for unkeyed parameters).
    QHash<int, QList<QByteArrayList>> FValues;
    int FAnswered = 0;
    int FIgnored = 0;
    int FBadFrames = 0;
    bool FSkipping = false; // between a bad frame and the next good one
    bool FProtocolFrames = false;
    QByteArrayList FReceived;
    TTranscript FTranscript;
    QHash<QByteArray, QByteArrayList> FAlterations; // key → what its writes store
};
