#include "uFieldRule.h"

#include "uNumbers.h"
#include "uUtils.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

const char* const kCharText = "%1 cannot hold \"%2\"";
const char* const kLengthText = "%1 holds %2 characters; at most %3 fit";
const char* const kRangeText = "%1 must be a whole number from %2 to %3";
const char* const kSwitchText = "%1 must be 0 (off) or 1 (on)";
const char* const kPlusText = "%1 takes \"+\" only in front";
const char* const kCoordText = "%1 must be degrees and minutes, such as 11354.0000";

QString Looked(const TTranslate& translate, const char* text) {
    const QString latin = QString::fromLatin1(text);
    return translate ? translate(latin) : latin;
}

// One pass over the markers, so an argument that holds "%2" stays as it is.
QString Filled(const QString& text, const QString& first, const QStringList& more) {
    switch (more.size()) {
    case 0:
        return text.arg(first);
    case 1:
        return text.arg(first, more[0]);
    case 2:
        return text.arg(first, more[0], more[1]);
    default:
        return text.arg(first, more[0], more[1], more[2]);
    }
}

bool IsDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool IsPrintableLatin1(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x20 && u < 0x7F) || (u >= 0xA0 && u <= 0xFF);
}

bool IsSeparator(QChar c) {
    return c == QLatin1Char('!') || c == QLatin1Char('(') || c == QLatin1Char(')') ||
           c == QLatin1Char(',');
}

bool SignOnlyInFront(const QString& value, QChar sign) {
    return value.lastIndexOf(sign) <= 0;
}

} // namespace

QString TRuleFault::Reason(const TTranslate& translate) const {
    if (Field == nullptr) {
        return Filled(Looked(translate, Text), Key, Args);
    }
    QString caption = Looked(translate, Field);
    if (caption.contains(QLatin1String("%1"))) {
        caption = caption.arg(Index);
    }
    return Filled(Looked(translate, Text), caption, Args);
}

QString TRuleFault::Message(const TTranslate& translate) const {
    const QString reason = Reason(translate);
    return Field != nullptr && !Key.isEmpty() ? Key + QStringLiteral(": ") + reason : reason;
}

QString TFieldRule::CaptionFor(int index) const {
    const QString caption = QString::fromLatin1(Caption);
    return caption.contains(QLatin1String("%1")) ? caption.arg(index) : caption;
}

QString TFieldRule::Shown(QChar c) {
    return EscapeControls(QString(c));
}

QStringList TFieldRule::Texts() {
    return Latin1Texts({kCharText, kLengthText, kRangeText, kSwitchText, kPlusText, kCoordText});
}

bool TFieldRule::Allows(QChar c) const {
    switch (Kind) {
    case TKind::Integer:
        return IsDigit(c) || c == QLatin1Char('-');
    case TKind::Switch:
        return c == QLatin1Char('0') || c == QLatin1Char('1');
    case TKind::Phone:
        return IsDigit(c) || c == QLatin1Char('+');
    case TKind::Coord:
        return IsDigit(c) || c == QLatin1Char('-') || c == QLatin1Char('.');
    case TKind::Text:
        break;
    }
    return IsPrintableLatin1(c) && !IsSeparator(c);
}

TRuleFault TFieldRule::Fault(int index, const char* text, QStringList args) const {
    return TRuleFault{QString(), Caption, index, text, std::move(args)};
}

std::optional<TRuleFault> TFieldRule::CheckCharacters(const QString& value, int index) const {
    const auto bad =
        std::find_if(value.cbegin(), value.cend(), [this](QChar c) { return !Allows(c); });
    if (bad != value.cend()) {
        return Fault(index, kCharText, {Shown(*bad)});
    }
    if ((Kind == TKind::Text || Kind == TKind::Phone || Kind == TKind::Coord) &&
        value.size() > MaxLength) {
        return Fault(index, kLengthText,
                     {QString::number(value.size()), QString::number(MaxLength)});
    }
    if (Kind == TKind::Phone && !SignOnlyInFront(value, QLatin1Char('+'))) {
        return Fault(index, kPlusText);
    }
    return std::nullopt;
}

std::optional<TRuleFault> TFieldRule::Check(const QString& value, int index) const {
    if (auto fault = CheckCharacters(value, index)) {
        return fault;
    }
    const TRuleFault range = Fault(index, kRangeText, {QString::number(Min), QString::number(Max)});
    switch (Kind) {
    case TKind::Integer: {
        static const QRegularExpression form(QStringLiteral("^-?[0-9]+$"));
        const auto number = form.match(value).hasMatch() ? TextToInt64(value) : std::nullopt;
        if (!number || *number < Min || *number > Max) {
            return range;
        }
        return std::nullopt;
    }
    case TKind::Switch:
        if (value.size() != 1) {
            return Fault(index, kSwitchText);
        }
        return std::nullopt;
    case TKind::Coord: {
        static const QRegularExpression form(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
        if (!form.match(value).hasMatch()) {
            return Fault(index, kCoordText);
        }
        return std::nullopt;
    }
    case TKind::Phone:
    case TKind::Text:
        break;
    }
    return std::nullopt;
}

std::optional<TRuleFault> TFieldRule::CheckTyping(const QString& value, int index) const {
    if (auto fault = CheckCharacters(value, index)) {
        return fault;
    }
    switch (Kind) {
    case TKind::Integer: {
        const TRuleFault range =
            Fault(index, kRangeText, {QString::number(Min), QString::number(Max)});
        if (!SignOnlyInFront(value, QLatin1Char('-')) ||
            (value.startsWith(QLatin1Char('-')) && Min >= 0)) {
            return range;
        }
        const QStringView digits = QStringView(value).mid(value.startsWith('-') ? 1 : 0);
        if (digits.isEmpty()) {
            return std::nullopt;
        }
        const auto number = TextToInt64(value);
        // More digits only move a number further from 0.
        if (!number || (*number >= 0 && *number > Max) || (*number < 0 && *number < Min)) {
            return range;
        }
        return std::nullopt;
    }
    case TKind::Switch:
        return value.size() > 1 ? std::optional(Fault(index, kSwitchText)) : std::nullopt;
    case TKind::Coord:
        if (!SignOnlyInFront(value, QLatin1Char('-')) || value.count(QLatin1Char('.')) > 1) {
            return Fault(index, kCoordText);
        }
        return std::nullopt;
    case TKind::Phone:
    case TKind::Text:
        break;
    }
    return std::nullopt;
}
