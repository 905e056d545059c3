#pragma once

#include <QLabel>

// A small notice across the top of the map, shown while the map has no pictures: the tile host
// cannot be reached, or the offline tile set cannot serve any (its own words say why). Fences
// and corner picking go on working. It follows the size of the panel it lies on.
class TMapOfflineNotice : public QLabel {
    Q_OBJECT
public:
    explicit TMapOfflineNotice(QWidget* map);

    static QString Text();
    // What the page reports each time the tiles in view have settled.
    void SetTilesReachable(bool reachable);
    // Why the offline tile set serves no pictures; empty when it does, or when there is none.
    void SetTileSetProblem(const QString& problem);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();
    void Update();

    bool FReachable = true;
    QString FTileSetProblem;
};
