#include "InstalledPrefix.h"
#include "LocaleTestSupport.h"
#include "uAppPaths.h"
#include "uLanguage.h"

#include <QCoreApplication>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

// The mode a program in dir runs in for an ordinary user: for the superuser, who may write
// everywhere, the rule runs in a child process that has given its rights up.
TAppMode ModeForOrdinaryUser(const QString& dir) {
    if (::geteuid() != 0) {
        return AppModeOf(dir);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        ::_exit(!dropped ? 2 : AppModeOf(dir) == TAppMode::Installed ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 2) << "could not give the superuser's rights up";
    return WEXITSTATUS(status) == 1 ? TAppMode::Installed : TAppMode::Portable;
}

class AppPaths : public TempAppDirTest {};

} // namespace

TEST_F(AppPaths, AWritableFolderKeepsEveryFileBesideTheProgram) {
    EXPECT_EQ(AppMode(), TAppMode::Portable);
    EXPECT_EQ(SettingsFilePath(), Path("locale_test.ini"));
    EXPECT_EQ(LocaleDir(), Path("locale"));
    EXPECT_EQ(UserFolder("param"), Path("param"));
    EXPECT_EQ(LogDir(), Path("log"));
    EXPECT_EQ(CacheFolder("webengine"), Path("webengine"));
    EXPECT_EQ(SharedLocaleDir(), QString());
    const QString help = FilesDescription();
    EXPECT_TRUE(help.contains("portable mode")) << help.toStdString();
    EXPECT_TRUE(help.contains(QDir::toNativeSeparators(Path("locale_test.ini"))));

    SetAppDirOverride(QString());
    EXPECT_EQ(AppDir(), QCoreApplication::applicationDirPath());
}

TEST_F(AppPaths, AFolderTheUserCannotWriteMeansInstalled) {
    // Open to every user, so that the rule can look into it under any name.
    QFile::setPermissions(FDir.path(), QFile::permissions(FDir.path()) | QFileDevice::ReadOther |
                                           QFileDevice::ExeOther);
    ASSERT_TRUE(QDir().mkpath(Path("readonly")));
    ASSERT_TRUE(QDir().mkpath(Path("open")));
    QFile::setPermissions(Path("readonly"), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                QFileDevice::ReadOther | QFileDevice::ExeOther);
    QFile::setPermissions(Path("open"), QFileDevice::Permissions(0x7777));
    EXPECT_EQ(ModeForOrdinaryUser(Path("readonly")), TAppMode::Installed);
    EXPECT_EQ(ModeForOrdinaryUser(Path("open")), TAppMode::Portable);
    EXPECT_EQ(AppModeOf(Path("missing")), TAppMode::Installed);
    // The installed layout counts even for a user who may write the folder.
    ASSERT_TRUE(QDir().mkpath(Path("open/../share/tervo-assistant")));
    EXPECT_EQ(AppModeOf(Path("open")), TAppMode::Installed);
    QFile::setPermissions(Path("readonly"), QFileDevice::Permissions(0x7700));
}

TEST(InstalledPaths, FilesGoToTheUsersFoldersAndShippedLanguagesAreListedAfterTheirOwn) {
    const TInstalledPrefix prefix;
    ResetLanguageState();
    prefix.Ship("suomi.lng", "[language]\r\n000=Nro\r\n");
    prefix.Ship("Deutsch.lng", "[language]\r\n000=Nr\r\n");

    EXPECT_EQ(AppMode(), TAppMode::Installed);
    EXPECT_EQ(SettingsFilePath(), prefix.Path("home/config/tervo-assistant/locale_test.ini"));
    EXPECT_EQ(LocaleDir(), prefix.Path("home/data/tervo-assistant/locale"));
    EXPECT_EQ(UserFolder("param"), prefix.Path("home/data/tervo-assistant/param"));
    EXPECT_EQ(LogDir(), prefix.Path("home/data/tervo-assistant/log"));
    EXPECT_EQ(CacheFolder("webengine"), prefix.Path("home/cache/tervo-assistant/webengine"));
    EXPECT_EQ(SharedLocaleDir(), prefix.Path("share/tervo-assistant"));
    const QString help = FilesDescription();
    EXPECT_TRUE(help.contains("installed mode")) << help.toStdString();
    EXPECT_TRUE(help.contains(prefix.Path("home/config/tervo-assistant/locale_test.ini")));
    EXPECT_TRUE(help.contains(prefix.Path("share/tervo-assistant")));

    // The master file goes to the user's folder, which is created for it.
    EXPECT_EQ(TranslateText("ID"), "ID");
    ASSERT_EQ(ExportLanguageFile("english"), std::nullopt);
    EXPECT_EQ(ReadAll(prefix.Path("home/data/tervo-assistant/locale/english.lng")),
              "[language]\r\n000=ID\r\n\r\n");
    // The user's own file of a shipped language (in any letter case) hides the shipped one.
    WriteAll(prefix.Path("home/data/tervo-assistant/locale/deutsch.lng"),
             "[language]\r\n000=Num\r\n");
    QStringList names = LanguageNames();
    ASSERT_EQ(names.size(), 3);
    EXPECT_EQ(names.last(), "suomi");
    names.sort();
    EXPECT_EQ(names, QStringList({"deutsch", "english", "suomi"}));

    LoadLanguage("suomi");
    EXPECT_EQ(TranslateText("ID"), "Nro");
    LoadLanguage("deutsch");
    EXPECT_EQ(TranslateText("ID"), "Num");
    // Writing a shipped language's master goes to the user's folder; the shipped file stays.
    ASSERT_EQ(ExportLanguageFile("suomi"), std::nullopt);
    EXPECT_EQ(ReadAll(prefix.Path("share/tervo-assistant/suomi.lng")), "[language]\r\n000=Nro\r\n");
    EXPECT_TRUE(QFile::exists(prefix.Path("home/data/tervo-assistant/locale/suomi.lng")));
    ResetLanguageState();
}
