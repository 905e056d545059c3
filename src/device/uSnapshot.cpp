#include "uSnapshot.h"

#include "uAtomicFile.h"
#include "uBatchOutcome.h"
#include "uParamCatalogue.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

bool IsControl(QChar c) {
    return (c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7F;
}

bool IsComment(const QString& line) {
    return line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#'));
}

// Keys of the parameter form that the catalogue does not hold (P16, P20, P08.65, ...) are
// refused rather than kept: writing one could do what no snapshot should.
bool LooksLikeParamKey(const QString& key) {
    static const QRegularExpression form(QStringLiteral("^[PT][0-9]+(\\.[0-9]+)?$"),
                                         QRegularExpression::CaseInsensitiveOption);
    return form.match(key).hasMatch();
}

QString LineError(int number, const QString& reason) {
    return QStringLiteral("line %1: %2").arg(number).arg(reason);
}

// Why a file of this format cannot be read; nullopt for one this program reads.
std::optional<QString> FormatFault(const QString& value) {
    bool number = false;
    const int format = value.toInt(&number);
    if (!number || format < 1) {
        return QStringLiteral("Format is a snapshot format number, not \"%1\"").arg(value);
    }
    if (format > TSnapshot::kFormat) {
        return QStringLiteral("the file is in snapshot format %1, newer than this program "
                              "reads (format %2)")
            .arg(format)
            .arg(TSnapshot::kFormat);
    }
    return std::nullopt;
}

} // namespace

const QString TSnapshot::kDevice = QStringLiteral("Device");
const QString TSnapshot::kParams = QStringLiteral("Params");

TSnapshot TSnapshot::Blank() {
    TSnapshot snapshot;
    snapshot.SetDeviceValue(QStringLiteral("Format"), QString::number(kFormat));
    for (const char* key : {"ID", "Firmware", "Alias", "Saved"}) {
        snapshot.SetDeviceValue(QString::fromLatin1(key), QString());
    }
    return snapshot;
}

std::optional<QString> TSnapshot::Parse(const QByteArray& bytes) {
    FPreamble.clear();
    FSections.clear();
    // A file written with bare LF line ends (by an editor, a script) is written back so.
    const qsizetype firstEnd = bytes.indexOf('\n');
    const bool bare = firstEnd == 0 || (firstEnd > 0 && bytes[firstEnd - 1] != '\r');
    FLineEnd = bare ? QStringLiteral("\n") : kLineEnd;
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF")) {
        body.remove(0, 3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(body);
    if (utf8.hasError()) {
        // Find the line for the message: decode line by line up to the first fault.
        const QList<QByteArray> lines = body.split('\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QStringDecoder line(QStringDecoder::Utf8);
            const QString decoded = line.decode(lines[i]);
            if (line.hasError()) {
                return LineError(int(i + 1), QStringLiteral("not UTF-8 text"));
            }
        }
    }
    auto error = ParseLines(text);
    if (!error && !FindSection(kParams)) {
        error = QStringLiteral("no [%1] section").arg(kParams);
    }
    if (error) {
        FPreamble.clear();
        FSections.clear();
    }
    return error;
}

std::optional<QString> TSnapshot::ParseLines(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.last().isEmpty()) {
        lines.removeLast(); // the end of the last line, not a line of its own
    }
    TSection* section = nullptr;
    QHash<QString, int> paramLines; // key -> its line, to name both lines of a repeat
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i + 1);
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        if (std::any_of(line.cbegin(), line.cend(), IsControl)) {
            return LineError(number, QStringLiteral("holds a control character"));
        }
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty()) {
            continue;
        }
        if (IsComment(trimmed)) {
            if (section) {
                section->Lines.push_back({trimmed, {}, {}});
            } else {
                FPreamble.append(trimmed);
            }
            continue;
        }
        if (trimmed.startsWith(QLatin1Char('['))) {
            const QString name = trimmed.endsWith(QLatin1Char(']'))
                                     ? trimmed.sliced(1, trimmed.size() - 2).trimmed()
                                     : QString();
            if (name.isEmpty()) {
                return LineError(number, QStringLiteral("a section line is \"[Name]\""));
            }
            section = &SectionFor(name);
            continue;
        }
        const qsizetype separator = line.indexOf(QLatin1Char('='));
        if (separator < 0) {
            return LineError(number,
                             QStringLiteral("expected \"[Section]\", \"KEY=VALUE\" or a comment"));
        }
        const QString key = line.first(separator).trimmed();
        if (key.isEmpty()) {
            return LineError(number, QStringLiteral("no key before \"=\""));
        }
        if (!section) {
            return LineError(number, QStringLiteral("%1 comes before the first section").arg(key));
        }
        QString value = line.sliced(separator + 1);
        if (section->Name.compare(kParams, Qt::CaseInsensitive) == 0) {
            const TParamEntry* entry = TParamCatalogue::Find(key);
            if (!entry && LooksLikeParamKey(key)) {
                return LineError(number,
                                 QStringLiteral("%1 is no parameter a snapshot can hold").arg(key));
            }
            if (entry) {
                if (!entry->Writable) {
                    return LineError(number, QStringLiteral("%1 cannot be written").arg(key));
                }
                if (const auto fault = TParamCatalogue::CheckValue(*entry, value)) {
                    return LineError(number, fault->Message());
                }
                if (const int first = paramLines.value(entry->Key); first > 0) {
                    return LineError(
                        number, QStringLiteral("%1 repeats line %2").arg(entry->Key).arg(first));
                }
                paramLines.insert(entry->Key, number);
                section->Lines.push_back({{}, entry->Key, value});
                continue;
            }
        } else {
            // Names and labels: blanks around them carry nothing.
            value = value.trimmed();
            if (section->Name.compare(kDevice, Qt::CaseInsensitive) == 0 &&
                key.compare(QLatin1String("Format"), Qt::CaseInsensitive) == 0) {
                if (const auto fault = FormatFault(value)) {
                    return LineError(number, *fault);
                }
            }
        }
        section->Lines.push_back({{}, key, value});
    }
    return std::nullopt;
}

QByteArray TSnapshot::ToBytes() const {
    QString text;
    for (const QString& line : FPreamble) {
        text += line + FLineEnd;
    }
    for (const TSection& section : FSections) {
        text += QLatin1Char('[') + section.Name + QLatin1Char(']') + FLineEnd;
        for (const TLine& line : section.Lines) {
            text += line.Key.isEmpty() ? line.Text : line.Key + QLatin1Char('=') + line.Value;
            text += FLineEnd;
        }
    }
    return text.toUtf8();
}

std::optional<QString> TSnapshot::Load(const QString& path) {
    // Empty until a good file has been read.
    FPreamble.clear();
    FSections.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("Cannot read %1: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    }
    if (const auto error = Parse(file.readAll())) {
        return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), *error);
    }
    return std::nullopt;
}

std::optional<QString> TSnapshot::Save(const QString& path) const {
    return WriteFileAtomic(path, ToBytes());
}

QString TSnapshot::DeviceValue(const QString& key) const {
    const TSection* section = FindSection(kDevice);
    const TLine* line = section ? FindLine(*section, key) : nullptr;
    return line ? line->Value : QString();
}

void TSnapshot::SetDeviceValue(const QString& key, const QString& value) {
    Set(kDevice, key, value);
}

std::optional<QString> TSnapshot::Param(const QString& key) const {
    const TParamEntry* entry = TParamCatalogue::Find(key);
    const TSection* section = FindSection(kParams);
    const TLine* line = entry && section ? FindLine(*section, entry->Key) : nullptr;
    return line ? std::optional(line->Value) : std::nullopt;
}

void TSnapshot::SetParam(const QString& key, const QString& value) {
    if (const TParamEntry* entry = TParamCatalogue::Find(key)) {
        Set(kParams, entry->Key, value);
    }
}

void TSnapshot::SetWrites(const std::vector<TCmdItem>& cmds) {
    for (const TCmdItem& cmd : cmds) {
        const auto key = cmd.RW == kCmdWrite ? TParamCatalogue::KeyOfCommand(cmd) : std::nullopt;
        if (key && TParamCatalogue::Find(*key)->Writable) {
            SetParam(*key, CommandValue(cmd));
        }
    }
}

QList<std::pair<QString, QString>> TSnapshot::Params() const {
    QList<std::pair<QString, QString>> params;
    if (const TSection* section = FindSection(kParams)) {
        for (const TLine& line : section->Lines) {
            if (TParamCatalogue::Find(line.Key)) {
                params.append({line.Key, line.Value});
            }
        }
    }
    return params;
}

qsizetype TSnapshot::SectionIndex(const QString& name) const {
    const auto it = std::find_if(FSections.begin(), FSections.end(), [&](const TSection& s) {
        return s.Name.compare(name, Qt::CaseInsensitive) == 0;
    });
    return it == FSections.end() ? -1 : it - FSections.begin();
}

const TSnapshot::TSection* TSnapshot::FindSection(const QString& name) const {
    const qsizetype index = SectionIndex(name);
    return index < 0 ? nullptr : &FSections[index];
}

TSnapshot::TSection& TSnapshot::SectionFor(const QString& name) {
    const qsizetype index = SectionIndex(name);
    if (index >= 0) {
        return FSections[index];
    }
    FSections.push_back({name, {}});
    return FSections.back();
}

qsizetype TSnapshot::LineIndex(const TSection& section, const QString& key) {
    const auto it =
        std::find_if(section.Lines.begin(), section.Lines.end(), [&](const TLine& line) {
            return !line.Key.isEmpty() && line.Key.compare(key, Qt::CaseInsensitive) == 0;
        });
    return it == section.Lines.end() ? -1 : it - section.Lines.begin();
}

const TSnapshot::TLine* TSnapshot::FindLine(const TSection& section, const QString& key) {
    const qsizetype index = LineIndex(section, key);
    return index < 0 ? nullptr : &section.Lines[index];
}

// A value with a line break would end its line early: such characters become blanks.
void TSnapshot::Set(const QString& section, const QString& key, const QString& value) {
    QString oneLine = value;
    std::replace_if(oneLine.begin(), oneLine.end(), IsControl, QLatin1Char(' '));
    TSection& target = SectionFor(section);
    const qsizetype index = LineIndex(target, key);
    if (index >= 0) {
        target.Lines[index].Value = oneLine;
        return;
    }
    target.Lines.push_back({{}, key, oneLine});
}
