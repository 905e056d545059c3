#pragma once

#include <QSerialPort>
#include <QString>

// The text shown when a serial port does not open, in the words of the platform's own tools:
// "cannot open PATH: REASON", where a reason the user can act on says what to do (join the
// port's group). reason is the port layer's own text, used where no better word is known.
QString PortOpenErrorText(QSerialPort::SerialPortError error, const QString& path,
                          const QString& reason = QString());

// Why a port did not open, as a list of ports shows it: it does not exist, another program
// has it, the user may not use it, or something else.
enum class TPortOpenFault { Missing, Busy, NoPermission, Other };
TPortOpenFault PortOpenFault(QSerialPort::SerialPortError error, const QString& path);

// The group a user must belong to for the device at path (the device file's own group on
// this system, "dialout" when that cannot be found).
QString PortAccessGroup(const QString& path);
