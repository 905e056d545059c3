#include "uGeoFence.h"

#include <QRegularExpression>

QString TGeoFence::SendableName(const QString& name) {
    static const QRegularExpression separators(QStringLiteral("[,()!]"));
    QString sendable = name;
    sendable.remove(separators);
    return sendable;
}
