#pragma once

#include <QObject>
#include <QString>
#include <functional>

// The object the map page calls back into, offered to it as window.external. Each method hands
// its arguments to the handler given at construction; a method without a handler does nothing.
// Whatever a handler throws stays here: the page only learns that the call is over.
class TMyExternal : public QObject {
    Q_OBJECT
public:
    using TPointHandler = std::function<void(double lng, double lat)>;
    using TBoundsHandler =
        std::function<void(double ltLng, double ltLat, double rbLng, double rbLat)>;
    using TAddressHandler = std::function<void(const QString& key, const QString& address)>;
    using TGeoPointHandler = std::function<void(const QString& points)>;
    using TTilesHandler = std::function<void(bool reachable)>;

    TMyExternal(TPointHandler onLngLat, TBoundsHandler onBounds, TAddressHandler onAddress,
                TPointHandler onHotPoint, TGeoPointHandler onGeoPoint, TTilesHandler onTiles,
                QObject* parent = nullptr);

    // A click on open ground.
    Q_INVOKABLE void DoOnLngLat(double _lng, double _lat);
    // The rectangle picked with the two corner markers: north-west, then south-east.
    Q_INVOKABLE void DoOnBounds(double _lt_lng, double _lt_lat, double _rb_lng, double _rb_lat);
    Q_INVOKABLE void DoOnAddress(const QString& _key, const QString& _addr);
    Q_INVOKABLE void DoOnHotPoint(double _lng, double _lat);
    Q_INVOKABLE void DoOnGeoPoint(const QString& _latlngall);
    // Whether any of the tiles in view could be fetched, each time that changes.
    Q_INVOKABLE void DoOnTilesReachable(bool reachable);

private:
    const TPointHandler FOnLngLat;
    const TBoundsHandler FOnBounds;
    const TAddressHandler FOnAddress;
    const TPointHandler FOnHotPoint;
    const TGeoPointHandler FOnGeoPoint;
    const TTilesHandler FOnTiles;
};
