#pragma once

#include <QString>
#include <stdexcept>

// An error of the device link (open, write, framing), carrying the text shown to the user.
class TLinkError : public std::runtime_error {
public:
    explicit TLinkError(const QString& text)
        : std::runtime_error(text.toStdString()), FText(text) {}
    const QString& Text() const { return FText; }

private:
    QString FText;
};
