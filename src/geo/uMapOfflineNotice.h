#pragma once

#include <QLabel>

// A small notice across the top of the map, shown while the tile host cannot be reached: the
// map then has no pictures, but fences and corner picking go on working. It follows the size
// of the panel it lies on.
class TMapOfflineNotice : public QLabel {
    Q_OBJECT
public:
    explicit TMapOfflineNotice(QWidget* map);

    static QString Text();
    // What the page reports each time the tiles in view have settled.
    void SetTilesReachable(bool reachable);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();
};
