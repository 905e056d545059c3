#pragma once

#include <QString>

// Where the program keeps its files. This unit alone decides; everything else asks it.
//
// Portable mode: the executable's folder is writable, so the settings file and the folders
// (locale/, param/, config/, log/, ...) live beside the executable, as a program run from
// its build folder or an unpacked archive expects.
// Installed mode: the executable's folder is not writable, or it sits in an installed
// layout (a share/tervo-assistant folder beside bin/, which also keeps an administrator's
// run from writing into a system folder). The settings file then lives in the user's
// configuration folder and the other folders in the user's data folder; the language
// files that ship with the program are read from share/tervo-assistant/.

enum class TAppMode { Portable, Installed };

// The program's folder, without a trailing separator.
QString AppDir();
// Replaces the program's folder for everything that asks AppDir(); an empty dir removes the
// override. The mode is decided again for the new folder.
void SetAppDirOverride(const QString& dir);

// The mode for AppDir(), decided at the first question after start or after an override.
TAppMode AppMode();
// The mode a program in folder dir runs in (the rule behind AppMode()).
TAppMode AppModeOf(const QString& dir);

// The settings file: the executable's base name with ".ini".
QString SettingsFilePath();
// The folder of the program's own files of that name ("locale", "param", "config", "log",
// ...): beside the executable, or under the user's data folder. Created by whoever first
// writes into it.
QString UserFolder(const QString& name);
// A file of the program's own in the same place as those folders ("records.sqlite").
QString UserDataFile(const QString& name);
// The folder of a cache of that name ("webengine"): beside the executable, or under the user's
// cache folder (XDG_CACHE_HOME), which the user may empty at any time.
QString CacheFolder(const QString& name);
// The folder of the language files the user (and the program) writes.
QString LocaleDir();
// The folder of the session transcripts.
QString LogDir();
// The folder of the language files shipped with the program; empty in portable mode.
QString SharedLocaleDir();

// Where the files are, in words, for --help.
QString FilesDescription();
