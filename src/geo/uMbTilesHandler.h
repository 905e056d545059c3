#pragma once

#include <QString>
#include <QStringList>
#include <QWebEngineUrlSchemeHandler>

// Serves map tiles from an MBTiles file (an SQLite database of tiles) to the map page through
// the program's own URL scheme: tervo-mbtiles://tiles/{z}/{x}/{y}. The file keeps its rows in
// TMS order (row 0 at the south), which is turned into the page's order (row 0 at the north). A
// tile the file does not hold gives an empty answer: the map shows no tile there. A file that
// cannot serve pictures at all (missing, no tile set, vector tiles) says what is wrong in
// Problem(), which the map's notice shows.
class TMbTilesHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    static const QByteArray kScheme;

    explicit TMbTilesHandler(QObject* parent = nullptr);
    ~TMbTilesHandler() override;

    // Makes the scheme known to the web engine; before the application object exists.
    static void RegisterScheme();
    // The tile address the page uses for this scheme.
    static QString TileAddress();

    // What the set's metadata tells the map: the zoom levels it holds and the area it covers
    // (degrees), and whom its pictures are owed to.
    struct TTileSetInfo {
        int MinZoom = -1; // -1: not said
        int MaxZoom = -1;
        double West = 0.0;
        double South = 0.0;
        double East = 0.0;
        double North = 0.0; // all 0: not said
        QString Attribution;
    };

    // The file that tiles come from from now on, opened afresh; an empty path serves none.
    void SetFile(const QString& path);
    const QString& File() const { return FFile; }
    // Why the file serves no pictures, for the user; empty when it does (or serves none).
    const QString& Problem() const { return FProblem; }
    const TTileSetInfo& Info() const { return FInfo; }
    // The texts Problem() may give, for the language file.
    static QStringList Texts();

    // The tile stored for the page's z/x/y; empty when there is none.
    QByteArray Tile(int z, int x, int y);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    void Close();
    void ReadMetadata();

    QString FFile;
    QString FProblem;
    TTileSetInfo FInfo;
    QString FConnection; // the name of this handler's database connection
};
