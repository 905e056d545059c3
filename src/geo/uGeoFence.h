#pragma once

#include <QString>

// One rectangular geo-fence of the device's table of 64. Corners in decimal degrees; 0 means
// not set.
struct TGeoFence {
    int ID = 0; // 1 to 64, its position in the table plus one
    QString Name;
    double LTLongitude = 0.0;
    double LTLatitude = 0.0;
    double RBLongitude = 0.0;
    double RBLatitude = 0.0;
};
