#include "uMapPageTemplate.h"

#include <QFile>
#include <cmath>

namespace {

double Finite(double value) {
    return std::isfinite(value) ? value : 0.0;
}

bool PassesUnescaped(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
           QStringView(u".-_:/{}?=").contains(c);
}

} // namespace

const QByteArray& MapPageTemplate() {
    static const QByteArray text = [] {
        QFile file(QStringLiteral(":/tervo/map/MapPage.html"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return text;
}

QString FormatMapPage(const TMapPageArgs& args) {
    const QByteArray host = ScriptStringText(args.Host).toLatin1();
    const QByteArray key = ScriptStringText(args.ApiKey).toLatin1();
    // The template holds exactly these five conversions and no other per-cent sign; a test
    // keeps it so.
    return QString::asprintf(MapPageTemplate().constData(), host.constData(), key.constData(),
                             Finite(args.CenterLat), Finite(args.CenterLng), Finite(args.Zoom));
}

QString ScriptStringText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (PassesUnescaped(c)) {
            out.append(c);
        } else {
            out.append(QString::asprintf("\\u%04x", unsigned(c.unicode())));
        }
    }
    return out;
}
