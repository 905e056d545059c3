#include "uAppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <optional>

#ifndef TERVO_SHARE_FROM_BIN
#define TERVO_SHARE_FROM_BIN "../share/tervo-assistant"
#endif

namespace {

// The folder name under the user's standard locations, whatever the executable is called.
const QString kFolderName = QStringLiteral("tervo-assistant");

struct TPathState {
    QString Override;
    std::optional<TAppMode> Mode;
};

TPathState& State() {
    static TPathState state;
    return state;
}

QString SharedDirOf(const QString& dir) {
    return QDir::cleanPath(dir + QLatin1Char('/') + QLatin1String(TERVO_SHARE_FROM_BIN));
}

QString StandardFolder(QStandardPaths::StandardLocation location) {
    return QStandardPaths::writableLocation(location) + QLatin1Char('/') + kFolderName;
}

QString SettingsFileName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() +
           QLatin1String(".ini");
}

} // namespace

QString AppDir() {
    const QString& dir = State().Override;
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
}

void SetAppDirOverride(const QString& dir) {
    State().Override = dir.isEmpty() ? QString() : QFileInfo(dir).absoluteFilePath();
    State().Mode.reset();
}

TAppMode AppModeOf(const QString& dir) {
    const bool installedLayout = QFileInfo(SharedDirOf(dir)).isDir();
    return installedLayout || !QFileInfo(dir).isWritable() ? TAppMode::Installed
                                                           : TAppMode::Portable;
}

TAppMode AppMode() {
    std::optional<TAppMode>& mode = State().Mode;
    if (!mode) {
        mode = AppModeOf(AppDir());
    }
    return *mode;
}

QString SettingsFilePath() {
    const QString folder = AppMode() == TAppMode::Portable
                               ? AppDir()
                               : StandardFolder(QStandardPaths::GenericConfigLocation);
    return folder + QLatin1Char('/') + SettingsFileName();
}

QString UserFolder(const QString& name) {
    const QString base = AppMode() == TAppMode::Portable
                             ? AppDir()
                             : StandardFolder(QStandardPaths::GenericDataLocation);
    return base + QLatin1Char('/') + name;
}

QString UserDataFile(const QString& name) {
    return UserFolder(name);
}

QString CacheFolder(const QString& name) {
    const QString base = AppMode() == TAppMode::Portable
                             ? AppDir()
                             : StandardFolder(QStandardPaths::GenericCacheLocation);
    return base + QLatin1Char('/') + name;
}

QString LocaleDir() {
    return UserFolder(QStringLiteral("locale"));
}

QString SharedLocaleDir() {
    return AppMode() == TAppMode::Portable ? QString() : SharedDirOf(AppDir());
}

QString FilesDescription() {
    const bool portable = AppMode() == TAppMode::Portable;
    QString text = portable ? QStringLiteral("Files (portable mode: the program's folder is "
                                             "writable, so its files live beside it):\n")
                            : QStringLiteral("Files (installed mode: the program's folder is "
                                             "not the user's, so its files live in the user's "
                                             "folders):\n");
    const auto line = [&text](const char* what, const QString& path) {
        text += QStringLiteral("  %1%2\n")
                    .arg(QLatin1String(what), -20)
                    .arg(QDir::toNativeSeparators(path));
    };
    line("settings file", SettingsFilePath());
    line("language files", LocaleDir());
    if (!portable) {
        line("shipped languages", SharedLocaleDir());
    }
    line("profiles", UserFolder(QStringLiteral("param")));
    line("profiles to load", UserFolder(QStringLiteral("config")));
    line("device snapshots", UserFolder(QStringLiteral("snapshots")));
    line("geo-fence files", UserFolder(QStringLiteral("fences")));
    line("transcripts", LogDir());
    line("map tile cache", CacheFolder(QStringLiteral("webengine")));
    line("job records", UserDataFile(QStringLiteral("records.sqlite")));
    line("records kept aside", UserDataFile(QStringLiteral("records-spool.jsonl")));
    text += QStringLiteral("A program whose folder is writable keeps its files beside it; one "
                           "installed in a folder the user cannot write keeps them in the "
                           "user's configuration, data and cache folders.\n");
    return text;
}

QString LogDir() {
    return UserFolder(QStringLiteral("log"));
}
