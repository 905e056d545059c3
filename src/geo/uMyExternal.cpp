#include "uMyExternal.h"

#include <utility>

namespace {

// The page's calls arrive from the event loop; an exception must not travel back into it.
template <typename THandler, typename... TArgs>
void Call(const THandler& handler, const TArgs&... args) {
    if (!handler) {
        return;
    }
    try {
        handler(args...);
    } catch (...) {
    }
}

} // namespace

TMyExternal::TMyExternal(TPointHandler onLngLat, TBoundsHandler onBounds, TAddressHandler onAddress,
                         TPointHandler onHotPoint, TGeoPointHandler onGeoPoint,
                         TTilesHandler onTiles, QObject* parent)
    : QObject(parent), FOnLngLat(std::move(onLngLat)), FOnBounds(std::move(onBounds)),
      FOnAddress(std::move(onAddress)), FOnHotPoint(std::move(onHotPoint)),
      FOnGeoPoint(std::move(onGeoPoint)), FOnTiles(std::move(onTiles)) {}

void TMyExternal::DoOnLngLat(double _lng, double _lat) {
    Call(FOnLngLat, _lng, _lat);
}

void TMyExternal::DoOnBounds(double _lt_lng, double _lt_lat, double _rb_lng, double _rb_lat) {
    Call(FOnBounds, _lt_lng, _lt_lat, _rb_lng, _rb_lat);
}

void TMyExternal::DoOnAddress(const QString& _key, const QString& _addr) {
    Call(FOnAddress, _key, _addr);
}

void TMyExternal::DoOnHotPoint(double _lng, double _lat) {
    Call(FOnHotPoint, _lng, _lat);
}

void TMyExternal::DoOnGeoPoint(const QString& _latlngall) {
    Call(FOnGeoPoint, _latlngall);
}

void TMyExternal::DoOnTilesReachable(bool reachable) {
    Call(FOnTiles, reachable);
}
