#include "uRecordSpool.h"

#include "uAppPaths.h"
#include "uRecordStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

constexpr int kLockWaitMs = 10'000;

QString LockPath(const QString& path) {
    return path + QLatin1String(".lock");
}

// Appends whole lines and puts them on disk; a line cut short by a crash ends before them.
std::optional<QString> AppendLines(const QString& path, const QByteArray& lines) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return QStringLiteral("cannot create folder %1")
            .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        return QStringLiteral("cannot write %1: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    }
    QByteArray bytes = lines;
    char last = '\n';
    if (file.size() > 0 && file.seek(file.size() - 1) && file.getChar(&last) && last != '\n') {
        bytes.prepend('\n');
    }
    const bool written = file.write(bytes) == bytes.size() && file.flush();
#ifdef Q_OS_UNIX
    if (written && ::fsync(file.handle()) != 0) {
        return QStringLiteral("cannot write %1 to disk").arg(QDir::toNativeSeparators(path));
    }
#endif
    if (!written) {
        return QStringLiteral("cannot write %1: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    }
    return std::nullopt;
}

} // namespace

QString TRecordSpool::DefaultPath() {
    return UserDataFile(QStringLiteral("records-spool.jsonl"));
}

TRecordSpool::TRecordSpool(QString path) : FPath(std::move(path)) {}

bool TRecordSpool::IsEmpty() const {
    return QFileInfo(FPath).size() == 0;
}

std::optional<QString> TRecordSpool::Append(const TJobRecord& record) {
    QDir().mkpath(QFileInfo(FPath).absolutePath());
    QLockFile lock(LockPath(FPath));
    if (!lock.tryLock(kLockWaitMs)) {
        return QStringLiteral("cannot lock %1").arg(QDir::toNativeSeparators(LockPath(FPath)));
    }
    return AppendLines(FPath, QJsonDocument(record.ToJson()).toJson(QJsonDocument::Compact) + '\n');
}

std::optional<QString> TRecordSpool::Read(std::vector<TJobRecord>& records,
                                          QByteArray* unreadable) const {
    QFile file(FPath);
    if (!file.exists()) {
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("cannot read %1: %2")
            .arg(QDir::toNativeSeparators(FPath), file.errorString());
    }
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.trimmed().isEmpty()) {
            continue;
        }
        const QJsonDocument document = QJsonDocument::fromJson(line);
        const auto record = document.isObject() ? TJobRecord::FromJson(document.object())
                                                : std::optional<TJobRecord>();
        if (record) {
            records.push_back(*record);
        } else if (unreadable) {
            *unreadable += line.endsWith('\n') ? line : line + '\n';
        }
    }
    return std::nullopt;
}

TRecordSpool::TReplay TRecordSpool::Replay(TRecordStore& store) {
    TReplay replay;
    QLockFile lock(LockPath(FPath));
    if (!lock.tryLock(kLockWaitMs)) {
        replay.Error =
            QStringLiteral("cannot lock %1").arg(QDir::toNativeSeparators(LockPath(FPath)));
        return replay;
    }
    std::vector<TJobRecord> records;
    QByteArray unreadable;
    if (const auto error = Read(records, &unreadable)) {
        replay.Error = error;
        return replay;
    }
    if (!records.empty()) {
        if (const auto error = store.Add(records)) {
            replay.Error = error;
            return replay;
        }
    }
    // Nothing is dropped: lines that are no record are kept for a person to look at.
    if (!unreadable.isEmpty()) {
        if (const auto error = AppendLines(FPath + QLatin1String(".bad"), unreadable)) {
            replay.Error = error;
            return replay;
        }
    }
    if (QFile::exists(FPath) && !QFile::remove(FPath)) {
        replay.Error = QStringLiteral("cannot remove %1").arg(QDir::toNativeSeparators(FPath));
    }
    replay.Stored = int(records.size());
    replay.Unreadable = unreadable.count('\n');
    return replay;
}
