#pragma once

#include "uIniDocument.h"

#include <QString>
#include <cstdint>

// Reads a file the way the platform's private-profile reader does, for profile files: the
// value after "=" without surrounding blanks, one pair of enclosing quotation marks (single
// or double) removed, at most kMaxProfileValue characters; section and key names compared
// without regard to case. The file is read once, when the reader is made.
class TPrivateProfile {
public:
    static constexpr qsizetype kMaxProfileValue = 2047;

    // A missing or unreadable file reads as empty, so every key gives its default.
    explicit TPrivateProfile(const QString& path);

    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // The default when the key is missing or its value is not an integer (see IniTextToInt).
    std::int32_t ReadInteger(const QString& section, const QString& key,
                             std::int32_t defaultValue) const;

private:
    TIniDocument FDocument;
};
