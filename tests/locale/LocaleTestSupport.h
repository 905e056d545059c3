#pragma once

#include "uAppPaths.h"
#include "uLanguage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Every test gets an empty program folder and the translation tables of a fresh start.
class TempAppDirTest : public ::testing::Test {
protected:
    TempAppDirTest() {
        SetAppDirOverride(FDir.path());
        ResetLanguageState();
    }
    ~TempAppDirTest() override {
        SetAppDirOverride(QString());
        ResetLanguageState();
    }
    QString Path(const QString& relative) const { return FDir.filePath(relative); }

    QTemporaryDir FDir;
};

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}
