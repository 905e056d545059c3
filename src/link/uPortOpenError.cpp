#include "uPortOpenError.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The port layer reports a port in use by another program (busy, or locked) as a permission
// error too; the file's own access rights tell the two apart.
bool MayUse(const QString& path) {
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

QString Reason(QSerialPort::SerialPortError error, const QString& path, const QString& reason) {
    switch (PortOpenFault(error, path)) {
    case TPortOpenFault::Missing:
        return QStringLiteral("no such file or device");
    case TPortOpenFault::Busy:
        return QStringLiteral("the port is in use");
    case TPortOpenFault::NoPermission:
#ifdef Q_OS_UNIX
        return QStringLiteral("permission denied (add yourself to the %1 group: sudo usermod -aG "
                              "%1 $USER, then log out and in again)")
            .arg(PortAccessGroup(path));
#else
        return QStringLiteral("permission denied");
#endif
    case TPortOpenFault::Other:
        break;
    }
    if (error == QSerialPort::UnsupportedOperationError) {
        return QStringLiteral("not a serial port");
    }
    if (reason.isEmpty()) {
        return QStringLiteral("input/output error");
    }
    return reason.left(1).toLower() + reason.mid(1);
}

} // namespace

QString PortOpenErrorText(QSerialPort::SerialPortError error, const QString& path,
                          const QString& reason) {
    return QStringLiteral("cannot open %1: %2")
        .arg(QDir::toNativeSeparators(path), Reason(error, path, reason));
}

TPortOpenFault PortOpenFault(QSerialPort::SerialPortError error, const QString& path) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return TPortOpenFault::Missing;
    case QSerialPort::PermissionError:
        return MayUse(path) ? TPortOpenFault::Busy : TPortOpenFault::NoPermission;
    case QSerialPort::OpenError:
        return TPortOpenFault::Busy;
    default:
        return TPortOpenFault::Other;
    }
}

QString PortAccessGroup(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && info.st_gid != 0) {
        if (const group* owner = ::getgrgid(info.st_gid)) {
            return QString::fromLocal8Bit(owner->gr_name);
        }
    }
#else
    Q_UNUSED(path);
#endif
    return QStringLiteral("dialout");
}
