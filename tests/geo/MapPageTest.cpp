// The real map page in a web view, offscreen, driven through the window: the page's drawing,
// corner picking with synthetic map clicks, and the calls back into the window. The tile host
// refuses connections, so the page must work without tiles.
#include "GeoTestSupport.h"
#include "PageScripts.h"

namespace {

class MapPageTest : public GeoWindowTest {
protected:
    MapPageTest() {
        Ui().ed_googleurl->setText(QStringLiteral("127.0.0.1:9"));
        Ui().pgCtrl->setCurrentWidget(Ui().tsGeo);
        Window->show();
        LoadMap();
    }

    TPageScripts Page{Window->MapBridge()};
    TMapBridge& Bridge() { return Window->MapBridge(); }

    // Loads the map; then records, page-side, every call the page makes on the external
    // object.
    void LoadMap() {
        ASSERT_TRUE(Page.LoadMap(Ui()));
        Eval(R"(var recorded = []; var forwarded = window.external;
            Object.defineProperty(window, "external", { configurable: true, value: new Proxy({}, {
              get: function (t, name) { return function () {
                recorded.push([name].concat(Array.prototype.slice.call(arguments)));
                return forwarded[name].apply(forwarded, arguments); }; } }) });)");
    }
    QVariant Eval(const char* script) { return Page.Eval(QString::fromUtf8(script)); }
    QVariant Json(const char* expression) { return Page.Json(QString::fromUtf8(expression)); }

    void Click(double lat, double lng) {
        Eval(QString::asprintf("map_obj.fire('click', { latlng: L.latLng(%f, %f) })", lat, lng)
                 .toUtf8()
                 .constData());
    }
    QVariant Recorded(const char* name) {
        return Json(QStringLiteral("recorded.filter(function (c) { return c[0] === '%1'; })")
                        .arg(QLatin1String(name))
                        .toUtf8()
                        .constData());
    }
    int MarkersOnMap() {
        return Eval("var n = 0; map_obj.eachLayer(function (l) {"
                    " if (l instanceof L.Marker) n++; }); n")
            .toInt();
    }
    QStringList Corners() {
        return {Ui().txtGeofenceLTLongitude->text(), Ui().txtGeofenceLTLatitude->text(),
                Ui().txtGeofenceRBLongitude->text(), Ui().txtGeofenceRBLatitude->text()};
    }
    void ClearCorners() {
        for (QLineEdit* edit : {Ui().txtGeofenceLTLongitude, Ui().txtGeofenceLTLatitude,
                                Ui().txtGeofenceRBLongitude, Ui().txtGeofenceRBLatitude}) {
            edit->clear();
        }
    }
    void SetFence(int id, double ltLat, double ltLng, double rbLat, double rbLng) {
        Fence(id).LTLatitude = ltLat;
        Fence(id).LTLongitude = ltLng;
        Fence(id).RBLatitude = rbLat;
        Fence(id).RBLongitude = rbLng;
    }
};

const QVariantList kRing = {QVariantList{22.4, 113.9}, QVariantList{22.4, 114.1},
                            QVariantList{22.5, 114.1}, QVariantList{22.5, 113.9}};

TEST_F(MapPageTest, TheFirstLoadSetsTheFlagAndBuildsTheMapAtTheFieldsCentre) {
    EXPECT_TRUE(Bridge().MapLoaded());
    // The web view is found by its name, and read out by its label.
    ASSERT_EQ(Window->findChild<QWebEngineView*>("FWebBrowser"), Bridge().WebBrowser());
    EXPECT_EQ(Bridge().WebBrowser()->accessibleName(), "Map");
    EXPECT_NEAR(Eval("getCenterLat()").toDouble(), 22.917922, 1e-9);
    EXPECT_NEAR(Eval("getCenterLng()").toDouble(), 125.156251, 1e-9);
    EXPECT_EQ(Eval("getZoomValue()").toInt(), 2);
    EXPECT_EQ(Eval("document.title").toString(), "Google Maps JavaScript API Example");
    EXPECT_TRUE(Messages.Messages.isEmpty());

    // A changed centre takes effect on the next load; one that is no number falls back.
    Ui().ed_MapLat->setText(QStringLiteral("abc"));
    Ui().ed_MapLng->setText(QStringLiteral("10.5"));
    Ui().ed_MapZoom->setText(QStringLiteral("5"));
    LoadMap();
    EXPECT_NEAR(Eval("getCenterLat()").toDouble(), 22.917923, 1e-9);
    EXPECT_NEAR(Eval("getCenterLng()").toDouble(), 10.5, 1e-9);
    EXPECT_EQ(Eval("getZoomValue()").toInt(), 5);
    EXPECT_EQ(Eval("user_fence.length").toInt(), 0);
}

TEST_F(MapPageTest, FencesDrawInRingOrderAndStyleAndHideTogether) {
    SetFence(1, 22.5, 113.9, 22.4, 114.1);
    Select({1});
    Ui().vtList->clicked(Model().index(0, 0));
    const QVariantMap first = Json("{ n: user_fence.length, on: map_obj.hasLayer(user_fence[0]),"
                                   " ring: user_fence[0].getLatLngs()[0].map(function (p) {"
                                   " return [p.lat, p.lng]; }), o: user_fence[0].options }")
                                  .toMap();
    EXPECT_EQ(first["n"].toInt(), 1);
    EXPECT_TRUE(first["on"].toBool());
    EXPECT_EQ(first["ring"].toList(), kRing);
    const QVariantMap style = first["o"].toMap();
    EXPECT_EQ(style["color"].toString(), "#FF0000");
    EXPECT_EQ(style["weight"].toInt(), 3);
    EXPECT_EQ(style["opacity"].toDouble(), 1.0);
    EXPECT_EQ(style["fillColor"].toString(), "#FF0000");
    EXPECT_EQ(style["fillOpacity"].toDouble(), 0.2);
    // The list click panned to the fence's left-top corner, a zoom step wider than the fit.
    EXPECT_NEAR(Eval("getCenterLat()").toDouble(), 22.5, 1e-9);
    EXPECT_NEAR(Eval("getCenterLng()").toDouble(), 113.9, 1e-9);
    EXPECT_EQ(
        Eval("getZoomValue()").toInt(),
        Eval("map_obj.getBoundsZoom(L.latLngBounds([22.5, 113.9], [22.4, 114.1])) - 1").toInt());

    Bridge().CallJavaScript(
        QStringLiteral("showGeoFence(22.5,113.9,22.4,114.1,3,\"#FF0000\",\"#FF0000\")"));
    EXPECT_EQ(Eval("user_fence.length").toInt(), 2);
    Eval("var drawn = user_fence.slice()");
    Bridge().CallJavaScript(QStringLiteral("hideGeoFence()"));
    EXPECT_EQ(Eval("user_fence.length").toInt(), 0);
    EXPECT_FALSE(Eval("map_obj.hasLayer(drawn[0]) || map_obj.hasLayer(drawn[1])").toBool());

    // Show All draws every set fence, the earlier drawing gone.
    SetFence(2, 40.7, -74.0, 40.6, -73.9);
    SetFence(5, -33.8, 151.2, -33.9, 151.3);
    Ui().btn_GeoShowAllFence->click();
    EXPECT_EQ(Eval("user_fence.length").toInt(), 3);
    EXPECT_TRUE(Messages.Messages.isEmpty());
}

// Corner picking through Edit: the first click places a marker, the second spans the box and
// reports it once; a third places nothing; dragging reports again; Close clears it all.
TEST_F(MapPageTest, CornerPickingReportsTheBoxWhenBothCornersAreDown) {
    Select({1});
    Ui().btn_GeoEdit->click();
    ClearCorners();
    Click(22.4, 114.1);
    EXPECT_EQ(MarkersOnMap(), 1);
    EXPECT_EQ(Recorded("DoOnBounds").toList().size(), 0);
    // The general click listener reports the point as well.
    ASSERT_TRUE(WaitFor([&] { return !Ui().txtLatLng->text().isEmpty(); }));
    EXPECT_EQ(Ui().txtLatLng->text(), "Latitude: 22.400000,Longitude: 114.100000");

    Click(22.5, 113.9);
    EXPECT_EQ(MarkersOnMap(), 2);
    const QVariantList bounds = Recorded("DoOnBounds").toList();
    ASSERT_EQ(bounds.size(), 1);
    EXPECT_EQ(bounds[0].toList(), (QVariantList{"DoOnBounds", 113.9, 22.5, 114.1, 22.4}));
    const QVariantMap shape = Json("{ ring: fence.shape.getLatLngs()[0].map(function (p) {"
                                   " return [p.lat, p.lng]; }), o: fence.shape.options }")
                                  .toMap();
    EXPECT_EQ(shape["ring"].toList(), kRing);
    EXPECT_EQ(shape["o"].toMap()["color"].toString(), "#f33f00");
    EXPECT_EQ(shape["o"].toMap()["weight"].toInt(), 5);
    EXPECT_EQ(shape["o"].toMap()["fillColor"].toString(), "#ff0000");
    EXPECT_EQ(shape["o"].toMap()["fillOpacity"].toDouble(), 0.2);
    const QStringList picked = {"113.900000", "22.500000", "114.100000", "22.400000"};
    ASSERT_TRUE(WaitFor([&] { return Corners() == picked; }));

    Click(30.0, 120.0);
    EXPECT_EQ(MarkersOnMap(), 2);
    EXPECT_EQ(Recorded("DoOnBounds").toList().size(), 1);

    Eval("var m = fence.head_.next_; m.setLatLng([22.3, 114.2]); m.fire('dragend');");
    EXPECT_EQ(Recorded("DoOnBounds").toList().size(), 2);
    const QStringList dragged = {"113.900000", "22.500000", "114.200000", "22.300000"};
    ASSERT_TRUE(WaitFor([&] { return Corners() == dragged; }));

    Ui().btn_Close->click();
    EXPECT_EQ(MarkersOnMap(), 0);
    EXPECT_EQ(Eval("fence.shape === null && fence.count === 0").toBool(), true);
    Click(22.4, 114.1);
    EXPECT_EQ(MarkersOnMap(), 0);
}

TEST_F(MapPageTest, EitherClickOrderPicksTheSameBox) {
    const QStringList picked = {"113.900000", "22.500000", "114.100000", "22.400000"};
    const std::pair<double, double> corners[][2] = {
        {{22.5, 114.1}, {22.4, 113.9}}, // north-east first
        {{22.4, 113.9}, {22.5, 114.1}}, // south-west first
    };
    for (const auto& order : corners) {
        Bridge().CallJavaScript(QStringLiteral("FenceEnterSetting(true)"));
        ClearCorners();
        Click(order[0].first, order[0].second);
        Click(order[1].first, order[1].second);
        EXPECT_TRUE(WaitFor([&] { return Corners() == picked; }));
        Bridge().CallJavaScript(QStringLiteral("FenceEnterSetting(false)"));
        EXPECT_EQ(MarkersOnMap(), 0);
    }
}

TEST_F(MapPageTest, LocateToPansWithoutZooming) {
    Bridge().CallJavaScript(QStringLiteral("locateTo(22.500000, 113.900000);"));
    EXPECT_NEAR(Eval("getCenterLat()").toDouble(), 22.5, 1e-9);
    EXPECT_NEAR(Eval("getCenterLng()").toDouble(), 113.9, 1e-9);
    EXPECT_EQ(Eval("getZoomValue()").toInt(), 2);
}

TEST_F(MapPageTest, AFailingStatementIsReportedWithItsError) {
    Bridge().CallJavaScript(QString());
    Bridge().CallJavaScript(QStringLiteral("noSuchFunction(1)"));
    Bridge().CallJavaScript(QStringLiteral("showGeoFence(1,"));
    ASSERT_TRUE(WaitFor([&] { return Messages.Messages.size() == 2; }));
    EXPECT_EQ(Messages.Messages[0].Text,
              "callJavaScript.noSuchFunction(1) noSuchFunction is not defined");
    EXPECT_TRUE(Messages.Messages[1].Text.startsWith("callJavaScript.showGeoFence(1, "));
    // The page goes on working.
    Bridge().CallJavaScript(QStringLiteral("showGeoFence(1,2,0,3,3,\"#00FF00\",\"#00FF00\")"));
    EXPECT_EQ(Eval("user_fence.length").toInt(), 1);
    EXPECT_EQ(Messages.Messages.size(), 2);
}

// The window's object answers to its five names in any letter case, and to nothing else.
TEST_F(MapPageTest, ThePageReachesTheWindowByAnyCaseOfTheMethodNames) {
    Eval("forwarded.doonlnglat(125.156251, 22.917922);"
         " forwarded.DOONBOUNDS(1, 2, 3.5, -4.25);"
         " forwarded.doOnGeoPoint('22.5,113.9_'); forwarded.DoOnAddress('k', 'a');"
         " forwarded.dOoNhOtPoInT(1, 2);");
    ASSERT_TRUE(WaitFor([&] { return Ui().txtGeofenceRBLatitude->text() == "-4.250000"; }));
    EXPECT_EQ(Ui().txtLatLng->text(), "Latitude: 22.917922,Longitude: 125.156251");
    EXPECT_EQ(Corners(), (QStringList{"1.000000", "2.000000", "3.500000", "-4.250000"}));
    EXPECT_EQ(Eval("typeof forwarded.deleteLater").toString(), "undefined");
    EXPECT_EQ(Eval("typeof forwarded.objectName").toString(), "undefined");
    EXPECT_EQ(Eval("try { forwarded.DoOnNothing(1); 'called' } catch (e) { 'refused' }").toString(),
              "refused");
}

// Whatever the host field holds stays a text inside the page.
TEST_F(MapPageTest, TheHostFieldCannotInjectScript) {
    const QString host = QStringLiteral(
        "x\"; window.injected = 1; //</script><script>window.injected = 2;</script>\\\n\u2028");
    Ui().ed_googleurl->setText(host);
    LoadMap();
    EXPECT_EQ(Eval("tile_host").toString(), host);
    EXPECT_EQ(Eval("typeof window.injected").toString(), "undefined");
    EXPECT_EQ(Eval("document.scripts.length").toInt(), 3);
    EXPECT_TRUE(Eval("tileUrlFor('javascript:alert(1)//{z}').indexOf('https://') === 0").toBool());
    EXPECT_EQ(Eval("tileUrlFor('file:///etc/{z}')").toString(), "https://etc/{z}");
}

TEST_F(MapPageTest, ResizingTheViewResizesTheMap) {
    Ui().pnlMapBody->resize(400, 200);
    ASSERT_TRUE(WaitFor([&] {
        return Eval("map_pnl.style.width + ' ' + map_pnl.style.height").toString() == "400px 200px";
    }));
    EXPECT_EQ(Eval("map_obj.getSize().x").toInt(), 400);
}

// The general functions the page offers beside the window's: a spot check of each family.
TEST_F(MapPageTest, TheGeneralFunctionsDrawWhatTheyAreGiven) {
    // The map service's own example of its encoded line form.
    EXPECT_EQ(Json("decodePolyline('_p~iF~ps|U_ulLnnqC_mqNvxq`@').map(function (p) {"
                   " return [Math.round(p.lat * 1e5) / 1e5, Math.round(p.lng * 1e5) / 1e5]; })")
                  .toList(),
              (QVariantList{QVariantList{38.5, -120.2}, QVariantList{40.7, -120.95},
                            QVariantList{43.252, -126.453}}));
    EXPECT_EQ(Json("decodePolyline('_p~iF~ps|U_')").toList().size(), 1); // cut short

    Eval("ShowPolylineCircle(0, 0, 3963 * Math.PI / 180, 2, '#0000ff', '#0000ff')");
    const QVariantMap circle =
        Json("{ n: user_circle.length, ring: user_circle[0].getLatLngs()[0].map(function (p) {"
             " return [Math.round(p.lat * 1e6) / 1e6, Math.round(p.lng * 1e6) / 1e6]; }) }")
            .toMap();
    EXPECT_EQ(circle["n"].toInt(), 1);
    const QVariantList ring = circle["ring"].toList();
    ASSERT_GE(ring.size(), 32); // 33 points, the last the first again
    EXPECT_EQ(ring[0].toList(), (QVariantList{0, 1}));
    EXPECT_EQ(ring[8].toList(), (QVariantList{1, 0}));
    Eval("hidePolylineCircle()");
    EXPECT_EQ(Eval("user_circle.length").toInt(), 0);

    // Point collection: each click adds a marker and reports all of them.
    Eval("enterGeoPoint(true, 1)");
    Click(10, 20);
    Click(11, 21);
    const QVariantList reports = Recorded("doOnGeoPoint").toList();
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[1].toList()[1].toString(), "10,20_11,21_");
    EXPECT_TRUE(Eval("GeoPointPolygon instanceof L.Polyline && GeoPoints.length === 2").toBool());
    Eval("enterGeoPoint(false, 0)");
    Click(12, 22);
    EXPECT_EQ(Recorded("doOnGeoPoint").toList().size(), 2);
    EXPECT_EQ(MarkersOnMap(), 0);

    // A vehicle with its label, replaced under its key, then everything cleared.
    Eval("showMarkerOnMap(true, 'car', 22.5, 113.9, 'info', '', 0, 0, true, 'CAR 1', 4, -4, 150)");
    Eval("showMarkerOnMap(true, 'car', 22.6, 114.0, 'info', '', 0, 0, true, 'CAR 1', 4, -4, 50)");
    EXPECT_EQ(MarkersOnMap(), 1);
    EXPECT_EQ(Eval("car_ary_label.car.percentOpacity + ' ' + car_ary_label.car.getPoint().lat")
                  .toString(),
              "50 22.6");
    EXPECT_EQ(Eval("document.querySelectorAll('.leaflet-marker-pane div div').length").toInt(), 1);
    Eval("clearOverlays()");
    EXPECT_EQ(MarkersOnMap(), 0);
    EXPECT_EQ(Eval("document.querySelectorAll('.leaflet-marker-pane div div').length").toInt(), 0);
    EXPECT_TRUE(Messages.Messages.isEmpty());
}

} // namespace
