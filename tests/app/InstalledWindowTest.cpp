// The main window of a program installed in a folder the user cannot write.
#include "InstalledPrefix.h"
#include "WindowTestSupport.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

namespace {

TEST_F(WindowTest, InstalledStartsWithoutErrorsAndKeepsFilesInTheUsersFolders) {
    const TInstalledPrefix prefix;
    prefix.Ship("suomi.lng", "[language]\r\n010=Vianetsinta\r\n");
    const QString config = prefix.Path("home/config/tervo-assistant/");
    const QString data = prefix.Path("home/data/tervo-assistant/");
    Start();

    EXPECT_TRUE(Messages.Messages.isEmpty());
    EXPECT_EQ(ReadAll(config + "app_window_test.ini"), "[config]\r\nlanguage=english\r\n\r\n");
    EXPECT_TRUE(ReadAll(data + "locale/english.lng").startsWith("[language]\r\n000=ID\r\n"));
    EXPECT_EQ(QDir(prefix.Path("bin")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList());

    // The shipped language is listed after the user's own and chosen as any other.
    auto* languages = Find<QComboBox>("cbLanguage");
    ASSERT_EQ(languages->count(), 2);
    EXPECT_EQ(languages->itemText(1), "suomi");
    languages->setFocus();
    QTest::keyClick(languages, Qt::Key_Down);
    EXPECT_EQ(ReadAll(config + "app_window_test.ini"), "[config]\r\nlanguage=suomi\r\n\r\n");
    // The next start shows it.
    Window.reset();
    ResetLanguageState();
    Start();
    EXPECT_EQ(Find<QComboBox>("cbLanguage")->currentText(), "suomi");
    EXPECT_EQ(Find<QPushButton>("btnShowMsg")->text(), "Vianetsinta");

    Find<QPushButton>("btnSave")->click();
    EXPECT_TRUE(QFile::exists(data + "param/0000000000.cfg"));
    Find<QPushButton>("btnLoad")->click();
    EXPECT_EQ(Messages.Proposed.value(0), data + "config");
    EXPECT_TRUE(Messages.Messages.isEmpty());
    Window.reset();
}

} // namespace
