#pragma once

#include <QString>
#include <QWebEngineUrlSchemeHandler>

// Serves map tiles from an MBTiles file (an SQLite database of tiles) to the map page through
// the program's own URL scheme: tervo-mbtiles://tiles/{z}/{x}/{y}. The file keeps its rows in
// TMS order (row 0 at the south), which is turned into the page's order (row 0 at the north). A
// tile the file does not hold, or a file that cannot be read, gives an empty answer: the map
// shows no tile there and the user sees no error.
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

    // The file that tiles come from from now on; an empty path serves none.
    void SetFile(const QString& path);
    const QString& File() const { return FFile; }

    // The tile stored for the page's z/x/y; empty when there is none.
    QByteArray Tile(int z, int x, int y);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    void Close();

    QString FFile;
    QString FConnection; // the name of this handler's database connection
};
