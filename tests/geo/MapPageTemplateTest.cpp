// The map page as the window builds it, before any web view sees it.
#include "uMapPageTemplate.h"

#include <QRegularExpression>
#include <cmath>
#include <gtest/gtest.h>

// The page is one format string: its five conversions, in order, and no other per-cent sign,
// which the formatting would otherwise read as one more.
TEST(MapPageTemplateTest, HoldsExactlyTheFiveConversionsInOrder) {
    const QString page = QString::fromUtf8(MapPageTemplate());
    ASSERT_FALSE(page.isEmpty());
    QStringList conversions;
    for (const auto& match : QRegularExpression(QStringLiteral("%[^\"),]*")).globalMatch(page)) {
        conversions.append(match.captured());
    }
    EXPECT_EQ(conversions, (QStringList{"%s", "%s", "%.6f", "%.6f", "%.2f"}));
    EXPECT_EQ(page.count(QLatin1Char('%')), 5);
    EXPECT_TRUE(
        page.contains(QStringLiteral("id=\"map_div\" style=\"width: 640px; height: 480px\"")));
    EXPECT_TRUE(page.contains(QStringLiteral("onload=\"doLoad()\"")));
}

TEST(MapPageTemplateTest, FillsHostKeyCentreAndZoom) {
    const QString page = FormatMapPage({QStringLiteral("tile.openstreetmap.org"),
                                        QStringLiteral("k-1_2"), 22.917922, 125.156251, 2});
    EXPECT_TRUE(page.contains(QStringLiteral("var tile_host = \"tile.openstreetmap.org\";")));
    EXPECT_TRUE(page.contains(QStringLiteral("var api_key = \"k-1_2\";")));
    EXPECT_TRUE(page.contains(QStringLiteral("new GLatLng(22.917922, 125.156251), 2.00")));
    EXPECT_EQ(page.count(QLatin1Char('%')), 0);

    // The fallback centre with its six decimals; numbers that are no numbers go in as 0.
    EXPECT_TRUE(FormatMapPage({{}, {}, 22.917922936146, 125.15625, 2})
                    .contains(QStringLiteral("new GLatLng(22.917923, 125.156250), 2.00")));
    EXPECT_TRUE(FormatMapPage({{}, {}, std::nan(""), INFINITY, -INFINITY})
                    .contains(QStringLiteral("new GLatLng(0.000000, 0.000000), 0.00")));
}

TEST(MapPageTemplateTest, TextsCannotLeaveTheirScriptString) {
    EXPECT_EQ(ScriptStringText(QStringLiteral("tile.example.org:8080/{z}/{x}/{y}.png?k=1")),
              "tile.example.org:8080/{z}/{x}/{y}.png?k=1");
    EXPECT_EQ(ScriptStringText(QStringLiteral("a\"b\\c</script>\n'%s")),
              "a\\u0022b\\u005cc\\u003c/script\\u003e\\u000a\\u0027\\u0025s");
    EXPECT_EQ(ScriptStringText(QStringLiteral("\u2028\u00e9")), "\\u2028\\u00e9");
}
