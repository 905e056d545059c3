#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Writes data as the whole content of path: into a temporary file in the same folder, which
// then replaces the old file in one rename, so a crash, a kill or a full disk never leaves a
// half-written file behind. Missing folders are created. Returns the error text when the
// write failed, in which case the old file is unchanged.
[[nodiscard]] std::optional<QString> WriteFileAtomic(const QString& path, const QByteArray& data);
