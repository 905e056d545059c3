// The INI document: any bytes read, written and read again give the same document; a value
// written reads back as written.
#include "FuzzCheck.h"
#include "uIniDocument.h"

#include <cctype>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

QByteArray AfterMark(const QByteArray& bytes) {
    return bytes.startsWith(kBom) ? bytes.sliced(kBom.size()) : bytes;
}

// Names the line rules cannot mistake for anything else.
QString Name(FuzzedDataProvider& data) {
    QString name;
    for (const char c : data.ConsumeRandomLengthString(12)) {
        name += QLatin1Char(std::isalnum(static_cast<unsigned char>(c)) ? c : 'k');
    }
    return name.isEmpty() ? QStringLiteral("k") : name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::string section = data.ConsumeRandomLengthString(16);
    const std::string key = data.ConsumeRandomLengthString(16);
    const std::string value = data.ConsumeRandomLengthString(64);
    const std::string file = data.ConsumeRemainingBytesAsString();

    TIniDocument doc;
    doc.Parse(QByteArray::fromStdString(file));
    const QByteArray once = doc.ToBytes();
    TIniDocument again;
    again.Parse(once);
    FUZZ_CHECK(again.ToBytes() == once);
    // A byte-order mark at the start stays there, and a rewrite moves none into the text.
    const QByteArray input = QByteArray::fromStdString(file);
    FUZZ_CHECK(!input.startsWith(kBom) || once.startsWith(kBom));
    FUZZ_CHECK(AfterMark(once).count(kBom) <= AfterMark(input).count(kBom));

    // A written value comes back from the file trimmed, on one line.
    FuzzedDataProvider names(reinterpret_cast<const uint8_t*>(section.data()), section.size());
    const QString sectionName = Name(names);
    FuzzedDataProvider keys(reinterpret_cast<const uint8_t*>(key.data()), key.size());
    const QString keyName = Name(keys);
    const QString text = QString::fromUtf8(QByteArray::fromStdString(value));
    doc.WriteString(sectionName, keyName, text);
    TIniDocument reread;
    reread.Parse(doc.ToBytes());
    QString expected = text;
    expected.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    const auto blank = [](QChar c) { return c.unicode() <= u' '; };
    while (!expected.isEmpty() && blank(expected.back())) {
        expected.chop(1);
    }
    while (!expected.isEmpty() && blank(expected.front())) {
        expected.remove(0, 1);
    }
    FUZZ_CHECK(reread.Value(sectionName, keyName) == expected);
    return 0;
}
