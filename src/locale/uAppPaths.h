#pragma once

#include <QString>

// Where the program keeps its files: the folder of the executable, unless a test (or a
// later start option) points it elsewhere.

// The program's folder, without a trailing separator.
QString AppDir();
// Replaces the program's folder for everything that asks AppDir(); an empty dir removes the
// override.
void SetAppDirOverride(const QString& dir);

// The settings file: the executable's name with its extension replaced by ".ini", in AppDir().
QString SettingsFilePath();
// The folder of the language files.
QString LocaleDir();
// The folder of the session transcripts: "log" beside the settings file.
QString LogDir();
