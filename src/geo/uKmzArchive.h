#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// KMZ, Google Earth's own form of KML: a zip archive whose first .kml file is the document.
// Read and written in memory with libzip.
class TKmzArchive {
public:
    // Whether bytes begin as a zip archive does.
    static bool LooksLikeZip(const QByteArray& bytes);
    // The first .kml file of the archive, at most maxSize bytes once unpacked, with its name in
    // the archive; nullopt with the reason in error.
    static std::optional<QByteArray> FirstKml(const QByteArray& bytes, qint64 maxSize,
                                              QString& name, QString& error);
    // The file of that name in the archive (as a document's links name the others: GDAL keeps
    // each layer in a file of its own); nullopt with the reason in error, or with no error when
    // the archive has no such file.
    static std::optional<QByteArray> File(const QByteArray& bytes, const QString& name,
                                          qint64 maxSize, QString& error);
    // An archive holding kml as doc.kml, as Google Earth writes it.
    static std::optional<QByteArray> Pack(const QByteArray& kml, QString& error);
};
