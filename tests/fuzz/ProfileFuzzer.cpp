// The profile reader: every key of any file reads as its stored value with one pair of
// enclosing quotes removed and cut to the longest value; values written into any file read
// back unchanged.
#include "FuzzCheck.h"
#include "uAtomicFile.h"
#include "uIniDocument.h"
#include "uPrivateProfile.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

QTemporaryDir* Dir = nullptr;

QString Unquoted(const QString& value) {
    const bool quoted = value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
                        value.back() == value.front();
    return quoted ? value.sliced(1, value.size() - 2) : value;
}

// A value a profile can hold as it is: one line, no blanks at the ends, not in quotes.
QString Storable(const std::string& bytes) {
    QString value = QString::fromUtf8(QByteArray::fromStdString(bytes)).left(2000);
    for (QChar& c : value) {
        if (c.unicode() < u' ' || c.isSurrogate()) {
            c = QLatin1Char('_');
        }
    }
    value = value.trimmed();
    if (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\''))) {
        value.prepend(QLatin1Char('v'));
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    Dir = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::string apn = data.ConsumeRandomLengthString(64);
    const std::string alias = data.ConsumeRandomLengthString(64);
    const std::int32_t port = data.ConsumeIntegral<std::int32_t>();
    const QByteArray file = QByteArray::fromStdString(data.ConsumeRemainingBytesAsString());
    const QString path = Dir->filePath(QStringLiteral("fuzz.cfg"));
    if (WriteFileAtomic(path, file)) {
        return 0;
    }

    TIniDocument document;
    document.Parse(file);
    const TPrivateProfile profile(path);
    for (const QString& section : {QStringLiteral("Para"), QStringLiteral("Other")}) {
        for (const auto& [key, ignored] : document.SectionPairs(section)) {
            const QString stored = document.Value(section, key).value_or(QString());
            const QString read = profile.ReadString(section, key, QStringLiteral("-"));
            FUZZ_CHECK(read.size() <= TPrivateProfile::kMaxProfileValue);
            FUZZ_CHECK(Unquoted(stored).startsWith(read));
            FUZZ_CHECK(read.size() >= TPrivateProfile::kMaxProfileValue - 1 ||
                       read == Unquoted(stored));
            const auto number = IniTextToInt(read);
            FUZZ_CHECK(profile.ReadInteger(section, key, 7) == number.value_or(7));
        }
    }

    // Saved into whatever the file held, read back as saved.
    const QString apnText = Storable(apn);
    const QString aliasText = Storable(alias);
    document.WriteString(QStringLiteral("Para"), QStringLiteral("APN"), apnText);
    document.WriteString(QStringLiteral("Para"), QStringLiteral("Alias"), aliasText);
    document.WriteString(QStringLiteral("Para"), QStringLiteral("Port"), QString::number(port));
    if (document.SaveToFile(path)) {
        return 0;
    }
    const TPrivateProfile saved(path);
    FUZZ_CHECK(saved.ReadString(QStringLiteral("PARA"), QStringLiteral("apn"), {}) == apnText);
    FUZZ_CHECK(saved.ReadString(QStringLiteral("para"), QStringLiteral("ALIAS"), {}) == aliasText);
    FUZZ_CHECK(saved.ReadInteger(QStringLiteral("Para"), QStringLiteral("Port"), 0) == port);
    return 0;
}
