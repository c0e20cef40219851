// How captions become the lines a label draws.
#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QStringList>

#include "platform/font.h"
#include "platform/label_text.h"

namespace {

QStringList texts(const platform::LabelText& text) {
    QStringList lines;
    for (const auto& line : text.lines) lines << line.text;
    return lines;
}

class LabelTextTest : public ::testing::Test {
protected:
    QFontMetrics metrics{platform::toQFont({"Arial", 8.25, true})};
    int widthOf(const QString& text) const { return metrics.horizontalAdvance(text); }
};

TEST_F(LabelTextTest, AccessKeysUnderlineTheNextCharacterAndDoubleAmpersandsShowOne) {
    const auto text = platform::LabelText::layout("R&ock && Roll&", metrics, 1000);
    ASSERT_EQ(text.lines.size(), 1u);
    EXPECT_EQ(text.lines[0].text, "Rock & Roll");
    EXPECT_EQ(text.lines[0].underlined, 1);
    EXPECT_EQ(platform::LabelText::layout("&&", metrics, 1000).lines[0].underlined, -1);
}

TEST_F(LabelTextTest, WrapsAtSpacesAndKeepsAnOverlongWordWhole) {
    const int width = widthOf("Radio One");
    EXPECT_EQ(texts(platform::LabelText::layout("Radio One FM", metrics, width)),
              (QStringList{"Radio One", "FM"}));
    EXPECT_EQ(texts(platform::LabelText::layout("Supercalifragilistic FM", metrics, width)),
              (QStringList{"Supercalifragilistic", "FM"}));
    EXPECT_EQ(texts(platform::LabelText::layout("A\r\nB", metrics, width)),
              (QStringList{"A", "B"}));
    // The About sentence in its own face: its run of blanks carries "and" onto the second line,
    // and "by" ends at least a blank short of the link laid over the first line (128 pixels on).
    const QFontMetrics about(platform::toQFont({"MS Sans Serif", 8.25, false}));
    const QString sentence =
        "This player is presented by" + QString(36, ' ') + "and" + QString(21, ' ') + ".";
    const auto lines = texts(platform::LabelText::layout(sentence, about, 249));
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("This player is presented by"));
    EXPECT_TRUE(lines[1].startsWith("and"));
    EXPECT_LE(about.horizontalAdvance("This player is presented by "), 128);
}

TEST_F(LabelTextTest, UnderlineFollowsItsCharacterOntoTheNextLine) {
    const auto text = platform::LabelText::layout("One Tw&o", metrics, widthOf("One"));
    ASSERT_EQ(text.lines.size(), 2u);
    EXPECT_EQ(text.lines[0].underlined, -1);
    EXPECT_EQ(text.lines[1].underlined, 2);
}

}  // namespace
