#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The one way the programs write a file. Returns the error text (naming the file) when the write
// failed; the old content is then unchanged and no temporary file is left behind.
//
// - A regular file (or a new one) is written into a temporary file created exclusively, with a
//   name nobody can predict, in the same folder, flushed to disk and renamed over the target in
//   one step: a crash, a kill or a full disk never leaves a half-written file. The replaced
//   file keeps its permissions. Missing folders are created.
// - A symbolic link keeps being a link: the file it leads to is replaced.
// - What is no regular file (a FIFO, a device, a terminal, /dev/stdout) is written straight
//   into, as is standard output for the path "-".
// - A folder, and a file the user may not write, are refused.
[[nodiscard]] std::optional<QString> WriteFileAtomic(const QString& path, const QByteArray& data);

// The name that stands for standard output (and, for readers, standard input).
inline const QString kStandardStream = QStringLiteral("-");

// Whether WriteFileAtomic could write path, found without changing anything: the error text as
// WriteFileAtomic would give it, or nullopt.
[[nodiscard]] std::optional<QString> CheckFileWritable(const QString& path);

// The checks a command makes before it touches anything: every output can be written and is
// none of the inputs, also through links and hard links ("-" is standard output among the
// outputs, standard input among the inputs). The first fault, or nullopt.
[[nodiscard]] std::optional<QString> CheckOutputs(const QStringList& outputs,
                                                  const QStringList& inputs);

// The whole content of path ("-": standard input); nullopt with the error text when it cannot
// be read or is larger than maxSize bytes.
std::optional<QByteArray> ReadWholeFile(const QString& path, qint64 maxSize, QString& error);
