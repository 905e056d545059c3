#include "uMapStatements.h"

#include "uUtils.h"

// QString::asprintf always formats with the C locale, so "%.6f" writes "." as the point.

QString FenceEnterSettingStatement(bool on) {
    return on ? QStringLiteral("FenceEnterSetting(true)")
              : QStringLiteral("FenceEnterSetting(false)");
}

QString HideGeoFenceStatement() {
    return QStringLiteral("hideGeoFence()");
}

QStringList DrawGeoFenceStatements(const TGeoFence& corners, const TFenceStyle& style) {
    const QByteArray line = ColorToHtml(style.LineColor).toLatin1();
    const QByteArray fill = ColorToHtml(style.FillColor).toLatin1();
    return {QString::asprintf("showGeoFence(%.6f,%.6f,%.6f,%.6f,%d,\"%s\",\"%s\")",
                              corners.LTLatitude, corners.LTLongitude, corners.RBLatitude,
                              corners.RBLongitude, int(style.LineWidth), line.constData(),
                              fill.constData()),
            QString::asprintf("SetMapZoom(%.6f,%.6f,%.6f,%.6f)", corners.LTLatitude,
                              corners.LTLongitude, corners.RBLatitude, corners.RBLongitude)};
}

QString LocateToStatement(double latitude, double longitude) {
    return QString::asprintf("locateTo(%.6f, %.6f);", latitude, longitude);
}
