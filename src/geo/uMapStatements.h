#pragma once

#include "uGeoFence.h"

#include <QString>
#include <QStringList>
#include <cstdint>

// The script statements the window runs in the map page. Numbers go out with six decimals and
// "." as the decimal point, latitude before longitude.

// How a fence rectangle is drawn; colours with their low byte red.
struct TFenceStyle {
    std::int32_t LineWidth = 3;
    std::int32_t LineColor = 255;
    std::int32_t FillColor = 255;
};

// Corner-picking mode on the map on or off.
QString FenceEnterSettingStatement(bool on);
// Removes every fence rectangle drawn so far.
QString HideGeoFenceStatement();
// Draws the fence's rectangle, then fits the zoom to it.
QStringList DrawGeoFenceStatements(const TGeoFence& corners, const TFenceStyle& style);
// Pans the map to a point.
QString LocateToStatement(double latitude, double longitude);
