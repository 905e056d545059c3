#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Writes data as the whole content of path: into a temporary file in the same folder, which
// then replaces the old file in one rename, so a crash, a kill or a full disk never leaves a
// half-written file behind. Missing folders are created. Returns the error text when the
// write failed, in which case the old file is unchanged.
//
// The temporary file has one fixed name per file (PartialFilePath), so an interrupted write
// leaves at most that one file, which the next write of the same file replaces.
[[nodiscard]] std::optional<QString> WriteFileAtomic(const QString& path, const QByteArray& data);

// The temporary file of a write of path: the path with ".partial" appended.
QString PartialFilePath(const QString& path);
