#include "LocaleTestSupport.h"
#include "uLanguage.h"

#include <QMap>
#include <optional>
#include <random>

namespace {

QString Text(int id) {
    return QStringLiteral("Text %1").arg(id);
}

class Language : public TempAppDirTest {
protected:
    // Looks up Text(0) to Text(99) in that order, as start-up looks up its texts, so each
    // Text(i) has id i.
    static QStringList TranslateAll() {
        QStringList shown;
        for (int id = 0; id < 100; ++id) {
            shown.append(TranslateText(Text(id)));
        }
        return shown;
    }
};

} // namespace

TEST_F(Language, WithoutAFileTextsStayAndTakeIdsInFirstLookupOrder) {
    EXPECT_EQ(TranslateText("ID"), "ID");
    EXPECT_EQ(TranslateText("Name"), "Name");
    EXPECT_EQ(TranslateText("ID"), "ID");
    EXPECT_EQ(SourceTextCount(), 2);
    ASSERT_EQ(ExportLanguageFile("english"), std::nullopt);
    EXPECT_EQ(ReadAll(Path("locale/english.lng")), "[language]\r\n000=ID\r\n001=Name\r\n\r\n");
}

TEST_F(Language, LoadsTheLanguageSectionByItsRules) {
    WriteAll(LanguageFilePath("de"), "000=before any section\n"
                                     "[other]\n001=other section\n"
                                     "[Language]\n"
                                     "; 002=comment\n"
                                     "  003 =  three  \r\n"
                                     "093=\n10=ten\n007=seven\n7=not this one\n+8=eight\n"
                                     "$0B=eleven\nabc=ignored\n99999999999=ignored\n");
    LoadLanguage("de");
    const QMap<int, QString> translated{
        {3, "three"}, {7, "seven"}, {8, "eight"}, {10, "ten"}, {11, "eleven"}};
    const QStringList shown = TranslateAll();
    for (int id = 0; id < 100; ++id) {
        EXPECT_EQ(shown[id], translated.value(id, Text(id))) << "id " << id;
    }
}

TEST_F(Language, AByteOrderMarkDoesNotHideTheFirstSection) {
    WriteAll(LanguageFilePath("fr"), "\xEF\xBB\xBF[Language]\r\n003=tr\xE8s\r\n");
    LoadLanguage("fr");
    EXPECT_EQ(TranslateAll()[3], QString::fromUtf8("très"));
}

TEST_F(Language, ReloadsOnlyWhenTheNameChanges) {
    WriteAll(LanguageFilePath("de"), "[language]\r\n000=Eins\r\n");
    LoadLanguage("de");
    WriteAll(LanguageFilePath("de"), "[language]\r\n000=Zwei\r\n");
    LoadLanguage("de");
    EXPECT_EQ(TranslateText(Text(0)), "Eins");
    LoadLanguage("fr"); // no such file: back to the source texts
    EXPECT_EQ(TranslateText(Text(0)), Text(0));
    LoadLanguage("de");
    EXPECT_EQ(TranslateText(Text(0)), "Zwei");
    EXPECT_EQ(CurrentLanguage(), "de");
}

TEST_F(Language, ListsThePlainLanguageFiles) {
    EXPECT_EQ(LanguageNames(), QStringList());
    for (const char* name : {"locale/english.lng", "locale/de.LNG", "locale/.hidden.lng",
                             "locale/notes.txt", "locale/folder.lng/x.lng"}) {
        WriteAll(Path(name), "");
    }
    QStringList names = LanguageNames();
    names.sort();
    EXPECT_EQ(names, QStringList({"de", "english"}));
}

TEST_F(Language, ExportReplacesIdsInPlaceAndKeepsEverythingElse) {
    WriteAll(LanguageFilePath("english"),
             "; translators: ids are fixed\n[info]\nauthor=me\n[language]\n001=Old\n500=kept\n");
    TranslateText("ID");
    TranslateText("Name");
    TranslateText("Line one\nline two");
    const QByteArray expected = "; translators: ids are fixed\r\n[info]\r\nauthor=me\r\n\r\n"
                                "[language]\r\n001=Name\r\n500=kept\r\n000=ID\r\n"
                                "002=Line one line two\r\n\r\n";
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_EQ(ExportLanguageFile("english"), std::nullopt);
        EXPECT_EQ(ReadAll(LanguageFilePath("english")), expected) << "pass " << pass;
    }
}

TEST_F(Language, ExportDoesNotOverwriteAFileItCannotRead) {
    QDir().mkpath(LanguageFilePath("english")); // a folder where the file should be
    TranslateText("ID");
    EXPECT_NE(ExportLanguageFile("english"), std::nullopt);
    EXPECT_TRUE(QFileInfo(LanguageFilePath("english")).isDir());
}

namespace {

struct TBadFile {
    const char* Name;
    QByteArray (*Make)();
    std::optional<QString> Text0; // what id 0 shows, when the file decides it
};

QByteArray Keys(int count, int valueLength) {
    QByteArray bytes = "[language]\r\n";
    for (int id = 0; id < count; ++id) {
        bytes += QByteArray::number(id) + '=' + QByteArray(valueLength, 'a' + id % 26) + "\r\n";
    }
    return bytes;
}

QByteArray RandomBytes() {
    std::mt19937 random(7);
    QByteArray bytes(1 << 20, Qt::Uninitialized);
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    return "[language]\r\n" + bytes;
}

const TBadFile kBadFiles[] = {
    {"TenMegabytes", [] { return Keys(100'000, 100); }, QString(100, 'a')},
    {"HundredThousandKeys", [] { return Keys(100'000, 3); }, "aaa"},
    {"OneMegabyteLine", [] { return Keys(1, 1 << 20); }, QString(1 << 20, 'a')},
    {"RandomBytes", RandomBytes, std::nullopt},
    {"NulBytes",
     [] {
         static const char kBytes[] = "[lang\0uage]\r\n[language]\r\n000=a\0b\r\n\0\0\r\n\0=c\r\n";
         return QByteArray(kBytes, sizeof kBytes - 1);
     },
     QString::fromLatin1("a\0b", 3)},
};

class BadLanguageFile : public Language, public testing::WithParamInterface<TBadFile> {};

} // namespace

TEST_P(BadLanguageFile, LoadsAndExportsWithoutHarm) {
    WriteAll(LanguageFilePath("bad"), GetParam().Make());
    LoadLanguage("bad");
    const QStringList shown = TranslateAll();
    if (GetParam().Text0) {
        EXPECT_EQ(shown[0], *GetParam().Text0);
    }
    EXPECT_EQ(ExportLanguageFile("bad"), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Language, BadLanguageFile, testing::ValuesIn(kBadFiles),
                         [](const auto& info) { return std::string(info.param.Name); });
