#pragma once

#include "uAppPaths.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// An installed program in a temporary prefix: bin/ that the user cannot write, the shipped
// files in share/tervo-assistant/, and the user's configuration, data and cache folders pointed
// into the same temporary folder. The program's folder is bin/ while it lives.
class TInstalledPrefix {
public:
    TInstalledPrefix() {
        EXPECT_TRUE(QDir().mkpath(Path("bin")));
        EXPECT_TRUE(QDir().mkpath(Path("share/tervo-assistant")));
        EXPECT_TRUE(
            QFile::setPermissions(Path("bin"), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                   QFileDevice::ReadOther | QFileDevice::ExeOther));
        qputenv("XDG_CONFIG_HOME", Path("home/config").toUtf8());
        qputenv("XDG_DATA_HOME", Path("home/data").toUtf8());
        qputenv("XDG_CACHE_HOME", Path("home/cache").toUtf8());
        SetAppDirOverride(Path("bin"));
    }
    ~TInstalledPrefix() {
        SetAppDirOverride(QString());
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_CACHE_HOME");
        // The temporary folder must be able to remove bin/.
        QFile::setPermissions(Path("bin"),
                              QFile::permissions(Path("bin")) | QFileDevice::WriteOwner);
    }
    TInstalledPrefix(const TInstalledPrefix&) = delete;
    TInstalledPrefix& operator=(const TInstalledPrefix&) = delete;

    QString Path(const QString& relative) const { return FDir.filePath(relative); }
    // A language file shipped with the program.
    void Ship(const QString& name, const QByteArray& content) const {
        QFile file(Path("share/tervo-assistant/" + name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(content), content.size());
    }

private:
    QTemporaryDir FDir;
};
