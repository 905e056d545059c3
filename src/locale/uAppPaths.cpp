#include "uAppPaths.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString& Override() {
    static QString dir;
    return dir;
}

} // namespace

QString AppDir() {
    return Override().isEmpty() ? QCoreApplication::applicationDirPath() : Override();
}

void SetAppDirOverride(const QString& dir) {
    Override() = dir.isEmpty() ? QString() : QFileInfo(dir).absoluteFilePath();
}

QString SettingsFilePath() {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return AppDir() + QLatin1Char('/') + name + QLatin1String(".ini");
}

QString LocaleDir() {
    return AppDir() + QLatin1String("/locale");
}

QString LogDir() {
    return QFileInfo(SettingsFilePath()).absolutePath() + QLatin1String("/log");
}
