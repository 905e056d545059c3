#include "uAtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

std::optional<QString> WriteFileAtomic(const QString& path, const QByteArray& data) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return QStringLiteral("Cannot create folder %1").arg(QDir::toNativeSeparators(folder));
    }
    QSaveFile file(path);
    // QSaveFile's default: never fall back to writing the old file in place.
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        return QStringLiteral("Cannot write %1: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    }
    return std::nullopt;
}
