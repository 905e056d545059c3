#include "uKmzArchive.h"

#include <memory>
#include <zip.h>

namespace {

QString ZipReason(zip_error_t* error) {
    return QString::fromLocal8Bit(zip_error_strerror(error));
}

struct TArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct TFileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using TArchive = std::unique_ptr<zip_t, TArchiveCloser>;

} // namespace

bool TKmzArchive::LooksLikeZip(const QByteArray& bytes) {
    return bytes.startsWith("PK\x03\x04");
}

namespace {

// Opens the archive in bytes; null with the reason in error.
TArchive Open(const QByteArray& bytes, QString& error) {
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* source =
        zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &zipError);
    TArchive archive(source ? zip_open_from_source(source, ZIP_RDONLY, &zipError) : nullptr);
    if (!archive) {
        error = QStringLiteral("not a KMZ archive: %1").arg(ZipReason(&zipError));
        zip_source_free(source);
    }
    zip_error_fini(&zipError);
    return archive;
}

// The entry at index, unpacked up to maxSize bytes whatever the archive claims its size to be.
std::optional<QByteArray> Unpack(zip_t* archive, zip_uint64_t index, qint64 maxSize,
                                 QString& error) {
    const QString shown = QString::fromUtf8(zip_get_name(archive, index, 0));
    std::unique_ptr<zip_file_t, TFileCloser> file(zip_fopen_index(archive, index, 0));
    if (!file) {
        error = QStringLiteral("the KMZ archive's %1 cannot be unpacked: %2")
                    .arg(shown, QString::fromLocal8Bit(zip_strerror(archive)));
        return std::nullopt;
    }
    QByteArray bytes;
    char chunk[1 << 16];
    zip_int64_t read = 0;
    while ((read = zip_fread(file.get(), chunk, sizeof chunk)) > 0) {
        bytes.append(chunk, qsizetype(read));
        if (bytes.size() > maxSize) {
            error = QStringLiteral("the KMZ archive's %1 is larger than %2 MB")
                        .arg(shown)
                        .arg(maxSize / (1024 * 1024));
            return std::nullopt;
        }
    }
    if (read < 0) {
        error = QStringLiteral("the KMZ archive's %1 cannot be unpacked: %2")
                    .arg(shown, QString::fromLocal8Bit(zip_file_strerror(file.get())));
        return std::nullopt;
    }
    return bytes;
}

} // namespace

std::optional<QByteArray> TKmzArchive::FirstKml(const QByteArray& bytes, qint64 maxSize,
                                                QString& name, QString& error) {
    const TArchive archive = Open(bytes, error);
    if (!archive) {
        return std::nullopt;
    }
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t index = 0; index < count; ++index) {
        const char* entry = zip_get_name(archive.get(), zip_uint64_t(index), 0);
        if (entry && QByteArray(entry).toLower().endsWith(".kml")) {
            name = QString::fromUtf8(entry);
            return Unpack(archive.get(), zip_uint64_t(index), maxSize, error);
        }
    }
    error = QStringLiteral("the KMZ archive holds no .kml file");
    return std::nullopt;
}

std::optional<QByteArray> TKmzArchive::File(const QByteArray& bytes, const QString& name,
                                            qint64 maxSize, QString& error) {
    const TArchive archive = Open(bytes, error);
    if (!archive) {
        return std::nullopt;
    }
    const zip_int64_t index = zip_name_locate(archive.get(), name.toUtf8().constData(), 0);
    if (index < 0) {
        return std::nullopt;
    }
    return Unpack(archive.get(), zip_uint64_t(index), maxSize, error);
}

std::optional<QByteArray> TKmzArchive::Pack(const QByteArray& kml, QString& error) {
    zip_error_t zipError;
    zip_error_init(&zipError);
    const auto fail = [&](const QString& reason) {
        error = QStringLiteral("cannot pack the KMZ archive: %1").arg(reason);
        zip_error_fini(&zipError);
        return std::nullopt;
    };
    // The archive is built in a buffer that outlives it, and read back from there.
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &zipError);
    if (!buffer) {
        return fail(ZipReason(&zipError));
    }
    zip_source_keep(buffer);
    std::unique_ptr<zip_source_t, decltype(&zip_source_free)> kept(buffer, zip_source_free);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &zipError);
    if (!archive) {
        zip_source_free(buffer); // the reference the archive would have taken
        return fail(ZipReason(&zipError));
    }
    zip_source_t* document =
        zip_source_buffer(archive, kml.constData(), zip_uint64_t(kml.size()), 0);
    if (!document || zip_file_add(archive, "doc.kml", document, ZIP_FL_ENC_UTF_8) < 0) {
        const QString reason = QString::fromLocal8Bit(zip_strerror(archive));
        zip_source_free(document);
        zip_discard(archive);
        return fail(reason);
    }
    if (zip_close(archive) < 0) {
        const QString reason = QString::fromLocal8Bit(zip_strerror(archive));
        zip_discard(archive);
        return fail(reason);
    }
    zip_stat_t stat;
    if (zip_source_stat(buffer, &stat) < 0 || zip_source_open(buffer) < 0) {
        return fail(ZipReason(zip_source_error(buffer)));
    }
    QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
    const zip_int64_t read = zip_source_read(buffer, bytes.data(), stat.size);
    zip_source_close(buffer);
    if (read != zip_int64_t(stat.size)) {
        return fail(ZipReason(zip_source_error(buffer)));
    }
    zip_error_fini(&zipError);
    return bytes;
}
