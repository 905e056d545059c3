#include "uAtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Links followed before a path counts as a loop, as the kernel does.
constexpr int kMaxLinks = 40;
constexpr int kStdIn = 0;
constexpr int kStdOut = 1;

QString Shown(const QString& path) {
    return path == kStandardStream ? QStringLiteral("standard output")
                                   : QDir::toNativeSeparators(path);
}

QString CannotWrite(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot write %1: %2").arg(Shown(path), reason);
}

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

// Where a write of a path goes.
struct TTarget {
    enum class TKind { Replace, Straight } Kind = TKind::Replace;
    QString Path; // Replace: the file itself, links resolved; Straight: what to open
    std::optional<struct stat> Old; // Replace: the file there now
};

// The kernel's own links (/dev/stdout, /dev/fd/N lead into /proc) name open files, not paths:
// what they lead to is written straight into.
bool InProcFs(const QString& path) {
    return QFileInfo(QFileInfo(path).absolutePath())
        .canonicalFilePath()
        .startsWith(QLatin1String("/proc/"));
}

std::optional<TTarget> Resolve(const QString& path, QString& error) {
    if (path == kStandardStream) {
        return TTarget{TTarget::TKind::Straight, path, {}};
    }
    QString current = QFileInfo(path).absoluteFilePath();
    for (int links = 0; links <= kMaxLinks; ++links) {
        if (InProcFs(current)) {
            return TTarget{TTarget::TKind::Straight, current, {}};
        }
        struct stat info {};
        if (::lstat(Native(current).constData(), &info) != 0) {
            if (errno != ENOENT) {
                error = SystemReason(errno);
                return std::nullopt;
            }
            return TTarget{TTarget::TKind::Replace, current, {}}; // a new file
        }
        if (S_ISLNK(info.st_mode)) {
            const QString target = QFile::symLinkTarget(current);
            if (target.isEmpty()) {
                error = QStringLiteral("its link cannot be read");
                return std::nullopt;
            }
            current = target;
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            error = QStringLiteral("it is a folder");
            return std::nullopt;
        }
        if (S_ISREG(info.st_mode)) {
            return TTarget{TTarget::TKind::Replace, current, info};
        }
        return TTarget{TTarget::TKind::Straight, current, {}}; // a FIFO, a device, a terminal
    }
    error = SystemReason(ELOOP);
    return std::nullopt;
}

bool WriteAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t written =
            ::write(fd, data.constData() + done, std::size_t(data.size() - done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += written;
    }
    return true;
}

std::optional<QString> WriteStraight(const TTarget& target, const QByteArray& data) {
    if (target.Path == kStandardStream) {
        std::fflush(stdout); // what the program printed before comes first
        return WriteAll(kStdOut, data)
                   ? std::nullopt
                   : std::optional(CannotWrite(target.Path, SystemReason(errno)));
    }
    const int fd = ::open(Native(target.Path).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return CannotWrite(target.Path, SystemReason(errno));
    }
    const bool ok = WriteAll(fd, data);
    const int error = errno;
    ::close(fd);
    return ok ? std::nullopt : std::optional(CannotWrite(target.Path, SystemReason(error)));
}

// A name beside the target that nobody can guess; hidden, so a folder listing stays calm.
QString TemporaryName(const QString& folder) {
    return folder + QStringLiteral("/.tervo-%1.tmp")
                        .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
}

// A new file nobody else can have opened: never through a link, never an existing file.
int CreateExclusive(const QString& folder, QString& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName(folder);
        const int fd = ::open(Native(name).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Fills a temporary file and gives it a name in the target's folder. On Linux the file is
// made without a name (O_TMPFILE) and named only when it is complete, so a write killed
// half-way leaves nothing; elsewhere it is a named file from the start.
std::optional<QString> WriteTemporary(const TTarget& target, const QByteArray& data,
                                      QString& name) {
    const QString folder = QFileInfo(target.Path).absolutePath();
    bool named = false;
    int fd = -1;
#ifdef O_TMPFILE
    fd = ::open(Native(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#endif
    if (fd < 0) {
        fd = CreateExclusive(folder, name);
        named = true;
    }
    if (fd < 0) {
        return SystemReason(errno);
    }
    const auto fail = [&](int error) {
        ::close(fd);
        if (named) {
            ::unlink(Native(name).constData());
        }
        return SystemReason(error);
    };
    if (target.Old) {
        // The owner as far as we may set it (root keeps anyone's), then the permission bits.
        [[maybe_unused]] const int owned = ::fchown(fd, target.Old->st_uid, target.Old->st_gid);
        if (::fchmod(fd, target.Old->st_mode & 07777) != 0) {
            return fail(errno);
        }
    }
    if (!WriteAll(fd, data)) {
        return fail(errno);
    }
    // On disk before the rename, so a power cut cannot leave an empty file under the name.
    if (::fsync(fd) != 0) {
        return fail(errno);
    }
    if (!named) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        int linked = -1;
        for (int attempt = 0; attempt < 100 && linked != 0; ++attempt) {
            name = TemporaryName(folder);
            linked = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, Native(name).constData(),
                              AT_SYMLINK_FOLLOW);
            if (linked != 0 && errno != EEXIST) {
                break;
            }
        }
        if (linked != 0) {
            return fail(errno);
        }
    }
    ::close(fd);
    return std::nullopt;
}

std::optional<QString> Replace(const TTarget& target, const QByteArray& data) {
    const QString folder = QFileInfo(target.Path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return QStringLiteral("Cannot create folder %1").arg(QDir::toNativeSeparators(folder));
    }
    if (target.Old && ::access(Native(target.Path).constData(), W_OK) != 0) {
        return CannotWrite(target.Path, SystemReason(errno));
    }
    QString name;
    if (const auto error = WriteTemporary(target, data, name)) {
        return CannotWrite(target.Path, *error);
    }
    if (::rename(Native(name).constData(), Native(target.Path).constData()) != 0) {
        const int error = errno;
        ::unlink(Native(name).constData());
        return CannotWrite(target.Path, SystemReason(error));
    }
    // The rename itself on disk too.
    const int dir = ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return std::nullopt;
}

// A file in folder can be made: tried without leaving a trace.
std::optional<QString> CheckCanCreateIn(const QString& folder) {
#ifdef O_TMPFILE
    const int fd = ::open(Native(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return std::nullopt;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return SystemReason(errno);
    }
#endif
    QString name;
    const int fd2 = CreateExclusive(folder, name);
    if (fd2 < 0) {
        return SystemReason(errno);
    }
    ::close(fd2);
    ::unlink(Native(name).constData());
    return std::nullopt;
}

// The regular file a path or standard stream is, for telling files apart.
std::optional<std::pair<dev_t, ino_t>> RegularFileId(const QString& path, int stream) {
    struct stat info {};
    const int result =
        path == kStandardStream ? ::fstat(stream, &info) : ::stat(Native(path).constData(), &info);
    if (result != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return std::pair{info.st_dev, info.st_ino};
}

} // namespace

std::optional<QString> WriteFileAtomic(const QString& path, const QByteArray& data) {
    QString error;
    const auto target = Resolve(path, error);
    if (!target) {
        return CannotWrite(path, error);
    }
    return target->Kind == TTarget::TKind::Straight ? WriteStraight(*target, data)
                                                    : Replace(*target, data);
}

std::optional<QString> CheckFileWritable(const QString& path) {
    QString error;
    const auto target = Resolve(path, error);
    if (!target) {
        return CannotWrite(path, error);
    }
    if (target->Path == kStandardStream) {
        const int flags = ::fcntl(kStdOut, F_GETFL);
        return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY
                   ? std::nullopt
                   : std::optional(CannotWrite(path, QStringLiteral("standard output is closed")));
    }
    if (target->Kind == TTarget::TKind::Straight || target->Old) {
        return ::access(Native(target->Path).constData(), W_OK) == 0
                   ? std::nullopt
                   : std::optional(CannotWrite(path, SystemReason(errno)));
    }
    // A new file: in its folder, or in the nearest folder that is there, which the write fills
    // with the missing ones.
    QFileInfo folder(QFileInfo(target->Path).absolutePath());
    while (!folder.exists() && !folder.isRoot()) {
        folder = QFileInfo(folder.absolutePath());
    }
    if (const auto reason = CheckCanCreateIn(folder.absoluteFilePath())) {
        return CannotWrite(path, *reason);
    }
    return std::nullopt;
}

std::optional<QString> CheckOutputs(const QStringList& outputs, const QStringList& inputs) {
    for (const QString& output : outputs) {
        if (const auto error = CheckFileWritable(output)) {
            return error;
        }
        // Only a file that would be replaced can lose an input; a device or a pipe cannot.
        const auto written = RegularFileId(output, kStdOut);
        for (const QString& input : inputs) {
            if (written && written == RegularFileId(input, kStdIn)) {
                return CannotWrite(
                    output, QStringLiteral("it is the file %1 that the command reads")
                                .arg(input == kStandardStream ? QStringLiteral("on standard input")
                                                              : QDir::toNativeSeparators(input)));
            }
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> ReadWholeFile(const QString& path, qint64 maxSize, QString& error) {
    const bool standard = path == kStandardStream;
    const QString shown =
        standard ? QStringLiteral("standard input") : QDir::toNativeSeparators(path);
    QFile file(path);
    const bool open =
        standard ? file.open(kStdIn, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!open) {
        error = QStringLiteral("Cannot read %1: %2").arg(shown, file.errorString());
        return std::nullopt;
    }
    // A stream tells its size only by its end.
    const auto tooLarge = [&] {
        error = QStringLiteral("%1: the file is larger than %2 MB")
                    .arg(shown)
                    .arg(maxSize / (1024 * 1024));
        return std::nullopt;
    };
    if (!file.isSequential() && file.size() > maxSize) {
        return tooLarge();
    }
    constexpr qint64 kChunk = 1 << 16;
    QByteArray bytes;
    while (bytes.size() <= maxSize) {
        const QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty()) {
            break;
        }
        bytes += chunk;
    }
    if (bytes.size() > maxSize) {
        return tooLarge();
    }
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("Cannot read %1: %2").arg(shown, file.errorString());
        return std::nullopt;
    }
    return bytes;
}
