#include "uSessionLog.h"

#include <QDir>

TSessionLog::TSessionLog(QString folder, TClock today)
    : FFolder(std::move(folder)), FToday(std::move(today)) {}

QString TSessionLog::FilePath(QDate day) const {
    return FFolder + QLatin1Char('/') + day.toString(QStringLiteral("yyyy-MM-dd")) +
           QLatin1String(".log");
}

void TSessionLog::Append(const QString& line) {
    const QDate day = FToday();
    if (day != FFileDay || !FFile.isOpen()) {
        FFile.close();
        FFileDay = day;
        FFile.setFileName(FilePath(day));
        if (!QDir().mkpath(FFolder)) {
            FLastError = QStringLiteral("Cannot create folder %1").arg(FFolder);
            return;
        }
        if (!FFile.open(QIODevice::Append)) {
            FLastError = FFile.errorString();
            return;
        }
    }
    const QByteArray bytes = line.toUtf8() + "\r\n";
    if (FFile.write(bytes) != bytes.size() || !FFile.flush()) {
        FLastError = FFile.errorString();
        FFile.close(); // the next line tries again
        return;
    }
    FLastError.clear();
}
