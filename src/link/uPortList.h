#pragma once

#include <QString>
#include <QStringList>

// The baud rate a text asks for, mapped to a rate the line supports; anything else,
// text that is no number included, gives 9600.
int BaudRateFromInt(const QString& text);

// The serial ports of this machine as the port field lists them: port numbers on Windows
// (COM3 gives "3"), device names elsewhere (ttyUSB0, ttyACM0), in the system's order.
QStringList RefreshPortList();

// The device to open for the text of the port field: "COM" + text on Windows; elsewhere
// a path stays as it is (a relative one made absolute) and a bare name is looked up in /dev.
QString PortNameFromField(const QString& field);
