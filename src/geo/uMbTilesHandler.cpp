#include "uMbTilesHandler.h"

#include <QBuffer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace {

constexpr int kMaxZoom = 30;

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

void TMbTilesHandler::SetFile(const QString& path) {
    if (path == FFile) {
        return;
    }
    Close();
    FFile = path;
    if (path.isEmpty()) {
        return;
    }
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnection);
    database.setDatabaseName(path);
    // Read only: the file is the user's, and a missing one must not be created.
    database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    database.open();
}

void TMbTilesHandler::Close() {
    if (QSqlDatabase::contains(FConnection)) {
        QSqlDatabase::database(FConnection, false).close();
        QSqlDatabase::removeDatabase(FConnection);
    }
}

QByteArray TMbTilesHandler::Tile(int z, int x, int y) {
    if (!QSqlDatabase::contains(FConnection)) {
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
