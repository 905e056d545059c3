#include "uPortList.h"

#include "uNumbers.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>
#include <array>

int BaudRateFromInt(const QString& text) {
    static constexpr std::array kRates = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                          19200, 38400, 56000, 57600, 115200, 128000, 256000};
    const int asked = TextToInt(text).value_or(9600);
    return std::find(kRates.begin(), kRates.end(), asked) != kRates.end() ? asked : 9600;
}

QStringList RefreshPortList() {
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
#ifdef Q_OS_WIN
        QString number = info.portName();
        number.remove(QStringLiteral("COM")).remove(QStringLiteral("com"));
        names.append(number);
#else
        names.append(info.portName());
#endif
    }
    return names;
}

QString PortNameFromField(const QString& field) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(field);
#else
    // The port layer takes a name without a leading "/" for one in /dev: a relative path
    // is made absolute.
    if (field.contains(QLatin1Char('/'))) {
        return QFileInfo(field).absoluteFilePath();
    }
    return QStringLiteral("/dev/") + field;
#endif
}
