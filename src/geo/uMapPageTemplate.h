#pragma once

#include <QString>

// What the map page is built from: the tile host (or a whole tile address), the key for tile
// hosts that want one, and the initial view.
struct TMapPageArgs {
    QString Host;
    QString ApiKey;
    double CenterLat = 0;
    double CenterLng = 0;
    double Zoom = 0;
};

// The page template of the program's resources with its five places filled, in this order:
// host, key, centre latitude, centre longitude, zoom. Texts are escaped, so whatever the
// fields hold stays text inside the page; numbers that are not finite become 0.
QString FormatMapPage(const TMapPageArgs& args);

// The template itself, unformatted.
const QByteArray& MapPageTemplate();

// A text written as the inside of a double-quoted script string: everything but letters,
// digits and a few address characters goes as a \uXXXX escape, so no quote, backslash, line
// end or "</script>" can leave the string.
QString ScriptStringText(const QString& text);
