#pragma once

#include <QDate>
#include <QFile>
#include <QString>
#include <functional>

// The newest lines a transcript window keeps (about 50 Read All batches); older ones are only
// in the session log. A line costs a text view some 650 bytes, so the two windows stay
// within about 4 MB however long the program runs.
inline constexpr int kShownTranscriptLines = 3'000;

// The whole session's transcript on disk, while the windows show only the newest lines: every
// line is appended to one file per day, "yyyy-MM-dd.log" in the given folder, which is made
// on the first line. A line is on disk when Append returns, so a crash loses nothing before it.
class TSessionLog {
public:
    using TClock = std::function<QDate()>;

    explicit TSessionLog(QString folder, TClock today = &QDate::currentDate);

    void Append(const QString& line);

    // The file of a day.
    QString FilePath(QDate day) const;
    // The file of today's lines.
    QString CurrentPath() const { return FilePath(FToday()); }
    // The reason the last line could not be written; empty while writing works.
    const QString& LastError() const { return FLastError; }

private:
    QString FFolder;
    TClock FToday;
    QFile FFile;
    QDate FFileDay;
    QString FLastError;
};
