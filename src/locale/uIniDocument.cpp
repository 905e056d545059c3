#include "uIniDocument.h"

#include "uAtomicFile.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>

namespace {

bool IsBlank(QChar c) {
    return c.unicode() <= u' ';
}

QStringView Trim(QStringView text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsBlank(text[first])) {
        ++first;
    }
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return text.sliced(first, last - first);
}

QString OneLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

int DigitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (base == 16 && u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (base == 16 && u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

const QLatin1String kLineEnd("\r\n");
const QByteArrayView kBom("\xEF\xBB\xBF");

} // namespace

std::optional<std::int32_t> IniTextToInt(QStringView text) {
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+')) {
        text = text.sliced(1);
    }
    int base = 10;
    if (text.startsWith(u'$') || text.startsWith(u'x', Qt::CaseInsensitive)) {
        base = 16;
        text = text.sliced(1);
    } else if (text.startsWith(u"0x", Qt::CaseInsensitive)) {
        base = 16;
        text = text.sliced(2);
    }
    if (text.isEmpty()) {
        return std::nullopt;
    }
    // The magnitude may reach 2^31, the size of the most negative value.
    constexpr std::int64_t kLimit = std::int64_t(1) << 31;
    std::int64_t magnitude = 0;
    for (const QChar c : text) {
        const int digit = DigitValue(c, base);
        if (digit < 0) {
            return std::nullopt;
        }
        magnitude = magnitude * base + digit;
        if (magnitude > kLimit) {
            return std::nullopt;
        }
    }
    if (!negative && magnitude == kLimit) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::optional<QString> TIniDocument::LoadFromFile(const QString& path) {
    Parse(QByteArray());
    QFile file(path);
    if (!file.exists()) {
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
    }
    Parse(file.readAll());
    return std::nullopt;
}

std::optional<QString> TIniDocument::SaveToFile(const QString& path) const {
    return WriteFileAtomic(path, ToBytes());
}

void TIniDocument::Parse(const QByteArray& bytes) {
    FPreamble.clear();
    FSections.clear();
    FSectionIndex.clear();

    // The mark belongs to the file, not to its first line, whatever encoding follows it.
    FBom = bytes.startsWith(kBom);
    const QByteArrayView body = QByteArrayView(bytes).sliced(FBom ? kBom.size() : 0);
    // A second mark is text: the decoder must not swallow it as the first.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(body);
    FLatin1 = utf8.hasError();
    if (FLatin1) {
        text = QString::fromLatin1(body);
    }

    TSection* section = nullptr;
    const QStringView all(text);
    qsizetype pos = 0;
    while (pos < all.size()) {
        qsizetype end = pos;
        while (end < all.size() && all[end] != u'\r' && all[end] != u'\n') {
            ++end;
        }
        const QStringView line = Trim(all.sliced(pos, end - pos));
        pos = (end + 1 < all.size() && all[end] == u'\r' && all[end + 1] == u'\n') ? end + 2
                                                                                   : end + 1;
        if (line.isEmpty()) {
            continue;
        }
        if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
            section = &SectionFor(Trim(line.sliced(1, line.size() - 2)));
            continue;
        }
        if (!section) {
            FPreamble.append(line.toString());
            continue;
        }
        const qsizetype separator = line.startsWith(u';') ? -1 : line.indexOf(u'=');
        if (separator < 0) {
            section->Lines.push_back({line.toString(), QString(), false});
            continue;
        }
        const QString key = Trim(line.first(separator)).toString();
        const QString folded = key.toCaseFolded();
        if (!section->FirstLine.contains(folded)) {
            section->FirstLine.insert(folded, qsizetype(section->Lines.size()));
        }
        section->Lines.push_back({key, Trim(line.sliced(separator + 1)).toString(), true});
    }
}

QByteArray TIniDocument::ToBytes() const {
    QString text;
    for (const QString& line : FPreamble) {
        text += line + kLineEnd;
    }
    for (const TSection& section : FSections) {
        text += QLatin1Char('[') + section.Name + QLatin1Char(']') + kLineEnd;
        for (const TLine& line : section.Lines) {
            text += line.IsPair ? line.Key + QLatin1Char('=') + line.Value : line.Key;
            text += kLineEnd;
        }
        text += kLineEnd;
    }
    const bool fitsLatin1 =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x100; });
    QByteArray body = FLatin1 && fitsLatin1 ? text.toLatin1() : text.toUtf8();
    // Once the bytes that made the file Latin-1 are edited away, what is left could read as
    // UTF-8 next time ("Ã©" as "é"): such a text is written as UTF-8 instead.
    if (FLatin1 && fitsLatin1 && body.isValidUtf8()) {
        body = text.toUtf8();
    }
    // A text that itself starts with U+FEFF would pass for a mark when read again: it gets one.
    return FBom || body.startsWith(kBom) ? kBom.toByteArray() + body : body;
}

const TIniDocument::TSection* TIniDocument::FindSection(const QString& name) const {
    const auto it = FSectionIndex.constFind(name.toCaseFolded());
    return it == FSectionIndex.cend() ? nullptr : &FSections[*it];
}

TIniDocument::TSection& TIniDocument::SectionFor(QStringView name) {
    const QString folded = name.toString().toCaseFolded();
    const auto it = FSectionIndex.constFind(folded);
    if (it != FSectionIndex.cend()) {
        return FSections[*it];
    }
    FSectionIndex.insert(folded, qsizetype(FSections.size()));
    FSections.push_back({name.toString(), {}, {}});
    return FSections.back();
}

std::optional<QString> TIniDocument::Value(const QString& section, const QString& key) const {
    const TSection* found = FindSection(section);
    if (!found) {
        return std::nullopt;
    }
    const auto it = found->FirstLine.constFind(key.toCaseFolded());
    if (it == found->FirstLine.cend()) {
        return std::nullopt;
    }
    return found->Lines[*it].Value;
}

QList<std::pair<QString, QString>> TIniDocument::SectionPairs(const QString& section) const {
    QList<std::pair<QString, QString>> pairs;
    if (const TSection* found = FindSection(section)) {
        for (const TLine& line : found->Lines) {
            if (line.IsPair) {
                pairs.append({line.Key, line.Value});
            }
        }
    }
    return pairs;
}

void TIniDocument::WriteString(const QString& section, const QString& key, const QString& value) {
    TSection& target = SectionFor(OneLine(section));
    const QString name = OneLine(key);
    const QString folded = name.toCaseFolded();
    const auto it = target.FirstLine.constFind(folded);
    if (it != target.FirstLine.cend()) {
        target.Lines[*it].Value = OneLine(value);
        return;
    }
    target.FirstLine.insert(folded, qsizetype(target.Lines.size()));
    target.Lines.push_back({name, OneLine(value), true});
}
