#pragma once

#include <QSerialPort>
#include <QString>

// The text shown when a serial port does not open: the reason with its error number, as the
// port layer has always reported it, then a line the user can act on where there is one (the
// port does not exist; the user may not use it and which group to join; another program has
// it).
QString PortOpenErrorText(QSerialPort::SerialPortError error, const QString& path);

// Why a port did not open, as a list of ports shows it: it does not exist, another program
// has it, the user may not use it, or something else.
enum class TPortOpenFault { Missing, Busy, NoPermission, Other };
TPortOpenFault PortOpenFault(QSerialPort::SerialPortError error, const QString& path);

// The group a user must belong to for the device at path (the device file's own group on
// this system, "dialout" when that cannot be found).
QString PortAccessGroup(const QString& path);
