// The statements that draw on the map and the texts the geo-fence list shows.
#include "uGeoFenceModel.h"
#include "uMapStatements.h"

#include <gtest/gtest.h>

namespace {

TGeoFence Corners(double ltLatitude, double ltLongitude, double rbLatitude, double rbLongitude) {
    TGeoFence fence;
    fence.LTLatitude = ltLatitude;
    fence.LTLongitude = ltLongitude;
    fence.RBLatitude = rbLatitude;
    fence.RBLongitude = rbLongitude;
    return fence;
}

} // namespace

TEST(MapStatementsTest, DrawingPutsLatitudeFirstWithSixDecimalsAndQuotedColours) {
    EXPECT_EQ(DrawGeoFenceStatements(Corners(22.5, 113.9, 22.4, 114.1), TFenceStyle{}),
              QStringList({"showGeoFence(22.500000,113.900000,22.400000,114.100000,3,"
                           "\"#FF0000\",\"#FF0000\")",
                           "SetMapZoom(22.500000,113.900000,22.400000,114.100000)"}));
    EXPECT_EQ(DrawGeoFenceStatements(Corners(-33.8688001, -151.2, -33.9, -151.1234567),
                                     TFenceStyle{1, 0x00FF00, 0x123456})
                  .first(),
              "showGeoFence(-33.868800,-151.200000,-33.900000,-151.123457,1,"
              "\"#00FF00\",\"#563412\")");
}

TEST(MapStatementsTest, TheOtherStatements) {
    EXPECT_EQ(LocateToStatement(22.5, 113.9), "locateTo(22.500000, 113.900000);");
    EXPECT_EQ(LocateToStatement(-0.0000004, 180), "locateTo(-0.000000, 180.000000);");
    EXPECT_EQ(FenceEnterSettingStatement(true), "FenceEnterSetting(true)");
    EXPECT_EQ(FenceEnterSettingStatement(false), "FenceEnterSetting(false)");
    EXPECT_EQ(HideGeoFenceStatement(), "hideGeoFence()");
}

TEST(GeoFenceModelTest, GeneralNumberText) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"},
        {22.917922, "22.917922"},
        {22.917922936146, "22.917922936146"},
        {113.9, "113.9"},
        {-0.5, "-0.5"},
        {100.0, "100"},
        {1.0 / 3.0, "0.333333333333333"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(TGeoFenceModel::GeneralNumberText(value), text) << value;
    }
}

TEST(GeoFenceModelTest, CellTextsByColumnTag) {
    TGeoFence fence = Corners(22.5, 0.0, -22.4, 114.1);
    fence.ID = 12;
    fence.Name = QStringLiteral("HOME");
    const std::pair<int, const char*> cases[] = {
        {TGeoFenceModel::colID, "12"},
        {TGeoFenceModel::colName, "HOME"},
        {TGeoFenceModel::colLTLatitude, "22.5"},
        {TGeoFenceModel::colLTLongitude, ""},
        {TGeoFenceModel::colRBLatitude, "-22.4"},
        {TGeoFenceModel::colRBLongitude, "114.1"},
    };
    for (const auto& [column, text] : cases) {
        EXPECT_EQ(TGeoFenceModel::CellText(fence, column), text) << column;
    }
}
