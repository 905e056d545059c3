#include "uAtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

QString PartialFilePath(const QString& path) {
    return path + QLatin1String(".partial");
}

std::optional<QString> WriteFileAtomic(const QString& path, const QByteArray& data) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return QStringLiteral("Cannot create folder %1").arg(QDir::toNativeSeparators(folder));
    }
    // One fixed name per file: a write killed half-way leaves at most this one file, and the
    // next write of the same file replaces it.
    const QString partial = PartialFilePath(path);
    QFile file(partial);
    const auto fail = [&](const QString& reason) {
        file.close();
        QFile::remove(partial);
        return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return fail(file.errorString());
    }
    if (QFile::exists(path)) {
        file.setPermissions(QFile::permissions(path));
    }
    if (file.write(data) != data.size() || !file.flush()) {
        return fail(file.errorString());
    }
#ifdef Q_OS_UNIX
    // On disk before the rename, so a power cut cannot leave an empty file under the name.
    if (::fsync(file.handle()) != 0) {
        return fail(QStringLiteral("cannot flush to disk"));
    }
#endif
    file.close();
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(partial.toStdU16String()),
                            std::filesystem::path(path.toStdU16String()), error);
    if (error) {
        return fail(QString::fromStdString(error.message()));
    }
    return std::nullopt;
}
