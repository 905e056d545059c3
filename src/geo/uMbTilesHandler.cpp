#include "uMbTilesHandler.h"

#include "uLanguage.h"
#include "uNumbers.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <array>

namespace {

constexpr int kMaxZoom = 30;

const char* const kMissing = "The tile set %1 cannot be found, so the map shows no pictures. "
                             "Fences and corner picking still work.";
const char* const kNoTileSet = "%1 is no MBTiles tile set (an SQLite database with a tiles "
                               "table), so the map shows no pictures. Fences and corner picking "
                               "still work.";
const char* const kVectorTiles = "%1 holds vector tiles (format pbf), which the map cannot draw; "
                                 "use a tile set of PNG, JPEG or WebP pictures. Fences and corner "
                                 "picking still work.";

// The picture format by its first bytes; MBTiles files hold PNG, JPEG or WebP tiles.
QByteArray MimeType(const QByteArray& tile) {
    if (tile.startsWith("\xFF\xD8")) {
        return QByteArrayLiteral("image/jpeg");
    }
    if (tile.startsWith("RIFF") && tile.mid(8, 4) == "WEBP") {
        return QByteArrayLiteral("image/webp");
    }
    return QByteArrayLiteral("image/png");
}

// Tiles are named z/x/y with whole numbers inside the zoom's grid.
bool ParseTile(const QString& path, int& z, int& x, int& y) {
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() != 3) {
        return false;
    }
    bool ok[3] = {};
    z = parts[0].toInt(&ok[0]);
    x = parts[1].toInt(&ok[1]);
    y = parts[2].toInt(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2] || z < 0 || z > kMaxZoom) {
        return false;
    }
    const qint64 side = qint64(1) << z;
    return x >= 0 && x < side && y >= 0 && y < side;
}

} // namespace

const QByteArray TMbTilesHandler::kScheme = QByteArrayLiteral("tervo-mbtiles");

TMbTilesHandler::TMbTilesHandler(QObject* parent)
    : QWebEngineUrlSchemeHandler(parent),
      FConnection(QStringLiteral("tervo-mbtiles-%1").arg(quintptr(this), 0, 16)) {}

TMbTilesHandler::~TMbTilesHandler() {
    Close();
}

void TMbTilesHandler::RegisterScheme() {
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme |
                    QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QString TMbTilesHandler::TileAddress() {
    return QString::fromLatin1(kScheme) + QStringLiteral("://tiles/{z}/{x}/{y}");
}

QStringList TMbTilesHandler::Texts() {
    return {QString::fromLatin1(kMissing), QString::fromLatin1(kNoTileSet),
            QString::fromLatin1(kVectorTiles)};
}

void TMbTilesHandler::SetFile(const QString& path) {
    Close();
    FFile = path;
    FProblem.clear();
    FInfo = TTileSetInfo();
    if (path.isEmpty()) {
        return;
    }
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo(path).isFile()) {
        FProblem = TranslateText(QString::fromLatin1(kMissing)).arg(shown);
        return;
    }
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnection);
    database.setDatabaseName(path);
    // Read only: the file is the user's, and a missing one must not be created.
    database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    // SQLite opens any file; the first query tells a database of tiles from anything else.
    QSqlQuery probe(database);
    if (!database.open() || !probe.exec(QStringLiteral("SELECT 1 FROM tiles LIMIT 1"))) {
        FProblem = TranslateText(QString::fromLatin1(kNoTileSet)).arg(shown);
        return;
    }
    ReadMetadata();
}

// The metadata table's rows: name, value (MBTiles 1.3).
void TMbTilesHandler::ReadMetadata() {
    QSqlQuery query(QSqlDatabase::database(FConnection, false));
    if (!query.exec(QStringLiteral("SELECT name, value FROM metadata"))) {
        return; // a set without metadata serves its tiles all the same
    }
    while (query.next()) {
        const QString name = query.value(0).toString().trimmed().toLower();
        const QString value = query.value(1).toString().trimmed();
        bool ok = false;
        if (name == QLatin1String("format") &&
            value.compare(QLatin1String("pbf"), Qt::CaseInsensitive) == 0) {
            FProblem = TranslateText(QString::fromLatin1(kVectorTiles))
                           .arg(QDir::toNativeSeparators(FFile));
        } else if (name == QLatin1String("minzoom")) {
            const int zoom = value.toInt(&ok);
            FInfo.MinZoom = ok && zoom >= 0 && zoom <= kMaxZoom ? zoom : -1;
        } else if (name == QLatin1String("maxzoom")) {
            const int zoom = value.toInt(&ok);
            FInfo.MaxZoom = ok && zoom >= 0 && zoom <= kMaxZoom ? zoom : -1;
        } else if (name == QLatin1String("attribution")) {
            FInfo.Attribution = value;
        } else if (name == QLatin1String("bounds")) {
            // "west,south,east,north" in degrees; anything else is not said.
            const QStringList parts = value.split(QLatin1Char(','));
            std::array<double, 4> edge{};
            for (int i = 0; parts.size() == 4 && i < 4; ++i) {
                edge[std::size_t(i)] = TextToDouble(parts[i].trimmed()).value_or(0.0);
            }
            if (edge[0] >= -180.0 && edge[0] < edge[2] && edge[2] <= 180.0 && edge[1] >= -90.0 &&
                edge[1] < edge[3] && edge[3] <= 90.0) {
                FInfo.West = edge[0];
                FInfo.South = edge[1];
                FInfo.East = edge[2];
                FInfo.North = edge[3];
            }
        }
    }
}

void TMbTilesHandler::Close() {
    if (QSqlDatabase::contains(FConnection)) {
        QSqlDatabase::database(FConnection, false).close();
        QSqlDatabase::removeDatabase(FConnection);
    }
}

QByteArray TMbTilesHandler::Tile(int z, int x, int y) {
    if (!FProblem.isEmpty() || !QSqlDatabase::contains(FConnection)) {
        return QByteArray();
    }
    const QSqlDatabase database = QSqlDatabase::database(FConnection, false);
    if (!database.isOpen()) {
        return QByteArray();
    }
    QSqlQuery query(database);
    query.prepare(QStringLiteral("SELECT tile_data FROM tiles WHERE zoom_level = ? AND "
                                 "tile_column = ? AND tile_row = ?"));
    query.addBindValue(z);
    query.addBindValue(x);
    query.addBindValue(int((qint64(1) << z) - 1 - y)); // TMS rows count from the south
    if (!query.exec() || !query.next()) {
        return QByteArray();
    }
    return query.value(0).toByteArray();
}

void TMbTilesHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    int z = 0;
    int x = 0;
    int y = 0;
    const QByteArray tile =
        ParseTile(job->requestUrl().path(), z, x, y) ? Tile(z, x, y) : QByteArray();
    auto* body = new QBuffer(job);
    body->setData(tile);
    job->reply(MimeType(tile), body);
}

namespace {

// The scheme must be known before the application object exists, in the program and in every
// test that shows the map alike.
void RegisterTileScheme() {
    TMbTilesHandler::RegisterScheme();
}
Q_CONSTRUCTOR_FUNCTION(RegisterTileScheme)

} // namespace
