#include "uGeoFence.h"

#include "uParamCatalogue.h"

QString TGeoFence::SendableName(const QString& name) {
    const TFieldRule& rule = *TParamCatalogue::FieldRule(u"P08.1", kGeoFenceNameField);
    QString sendable = name;
    sendable.removeIf([&rule](QChar c) { return !rule.Allows(c); });
    return sendable;
}
