#include "uPrivateProfile.h"

TPrivateProfile::TPrivateProfile(const QString& path) {
    // An unreadable file reads as empty, like a missing one.
    FDocument.LoadFromFile(path);
}

QString TPrivateProfile::ReadString(const QString& section, const QString& key,
                                    const QString& defaultValue) const {
    const std::optional<QString> stored = FDocument.Value(section, key);
    if (!stored) {
        return defaultValue;
    }
    QStringView value(*stored);
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front()) {
        value = value.sliced(1, value.size() - 2);
    }
    qsizetype length = std::min(value.size(), kMaxProfileValue);
    // Never cut a surrogate pair in half.
    if (length < value.size() && value[length - 1].isHighSurrogate()) {
        --length;
    }
    return value.first(length).toString();
}

std::int32_t TPrivateProfile::ReadInteger(const QString& section, const QString& key,
                                          std::int32_t defaultValue) const {
    const QString value = ReadString(section, key, QString());
    return IniTextToInt(value).value_or(defaultValue);
}
