#pragma once

#include <QString>
#include <array>

// One rectangular geo-fence of the device's table of 64. Corners in decimal degrees; 0 means
// not set.
struct TGeoFence {
    int ID = 0; // 1 to 64, its position in the table plus one
    QString Name;
    double LTLongitude = 0.0;
    double LTLatitude = 0.0;
    double RBLongitude = 0.0;
    double RBLatitude = 0.0;

    // All four corners 0: the fence is neither drawn nor shown with numbers.
    bool IsEmpty() const {
        return LTLongitude == 0.0 && LTLatitude == 0.0 && RBLongitude == 0.0 && RBLatitude == 0.0;
    }

    // A name as it may travel in a command: without the characters the name field's rule
    // refuses (those that separate fields or delimit the command and its frame, control
    // characters, characters beyond Latin-1), which a pasted or imported name could bring.
    static QString SendableName(const QString& name);
};

inline constexpr int kGeoFenceCount = 64;
// The longest name the device keeps.
inline constexpr int kGeoFenceNameLength = 20;
// The name's field in a fence's value (after the number and the four corners).
inline constexpr int kGeoFenceNameField = 5;

// The device's table, the fence with ID n at position n - 1.
using TGeoFenceList = std::array<TGeoFence, kGeoFenceCount>;
