#include "uPortOpenError.h"

#include <QDir>
#include <QFile>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The system error number behind a failed open.
int ErrorCode(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return ENOENT;
    case QSerialPort::PermissionError:
        return EACCES;
    case QSerialPort::OpenError:
        return EBUSY;
    case QSerialPort::UnsupportedOperationError:
        return EINVAL;
    default:
        return EIO;
    }
}

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

QString Advice(QSerialPort::SerialPortError error, const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("The port %1 does not exist. Check that the device is plugged in "
                              "and choose a port from the list.")
            .arg(shown);
    case QSerialPort::PermissionError:
        if (PortOpenFault(error, path) == TPortOpenFault::Busy) {
            return QStringLiteral("The port %1 is in use by another program. Close that "
                                  "program, then open the port again.")
                .arg(shown);
        }
#ifdef Q_OS_UNIX
        return QStringLiteral("You have no permission to use the port %1. Add your user to the "
                              "\"%2\" group (sudo usermod -aG %2 $USER), then log out and log "
                              "in again.")
            .arg(shown, PortAccessGroup(path));
#else
        return QStringLiteral("The port %1 is in use by another program, or you have no "
                              "permission to use it.")
            .arg(shown);
#endif
    default:
        return QString();
    }
}

} // namespace

QString PortOpenErrorText(QSerialPort::SerialPortError error, const QString& path) {
    const QString reason = error == QSerialPort::UnsupportedOperationError
                               ? QStringLiteral("SetCommState function failed")
                               : QStringLiteral("Unable to open com port");
    QString text = QStringLiteral("%1 (Error: %2)").arg(reason).arg(ErrorCode(error));
    const QString advice = Advice(error, path);
    if (!advice.isEmpty()) {
        text += QLatin1Char('\n') + advice;
    }
    return text;
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
