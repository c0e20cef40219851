#include <gtest/gtest.h>

#include "media/icy_title.h"
#include "platform/text_encoding.h"

using media::decodeIcyTitle;
using platform::isValidUtf8;

TEST(IcyTitle, KeepsUtf8AsSent) {
    EXPECT_EQ(decodeIcyTitle("Caf\xC3\xA9 \xE2\x80\x93 \xC3\x9C"
                             "ber"),
              "Caf\xC3\xA9 \xE2\x80\x93 \xC3\x9C"
              "ber");
    EXPECT_EQ(decodeIcyTitle("Emoji \xF0\x9F\x8E\xB5"), "Emoji \xF0\x9F\x8E\xB5");
    EXPECT_EQ(decodeIcyTitle("Plain ASCII - Title"), "Plain ASCII - Title");
}

TEST(IcyTitle, ReadsOtherBytesAsWindows1252) {
    // Latin-1 letters, and the 0x80..0x9F punctuation only Windows-1252 defines.
    EXPECT_EQ(decodeIcyTitle("Caf\xE9 \xDC"
                             "ber"),
              "Caf\xC3\xA9 \xC3\x9C"
              "ber");
    EXPECT_EQ(decodeIcyTitle("\x93Quoted\x94 \x80 5\x85"),
              "\xE2\x80\x9CQuoted\xE2\x80\x9D \xE2\x82\xAC 5\xE2\x80\xA6");
    // Unassigned in Windows-1252: shown as the replacement character, never as raw bytes.
    EXPECT_EQ(decodeIcyTitle("a\x81"
                             "b"),
              "a\xEF\xBF\xBD"
              "b");
}

TEST(IcyTitle, OneInvalidSequenceMakesTheWholeTitleWindows1252) {
    // A UTF-8 "é" next to a Latin-1 "é": the bytes are not UTF-8, so each byte is a letter.
    EXPECT_EQ(decodeIcyTitle("\xC3\xA9\xE9"), "\xC3\x83\xC2\xA9\xC3\xA9");
}

TEST(IcyTitle, MalformedUtf8IsNotPassedThrough) {
    for (const char* bytes :
         {"\xC0\xAF", "\xED\xA0\x80", "\xE2\x82", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80"}) {
        EXPECT_FALSE(isValidUtf8(bytes)) << bytes;
        EXPECT_TRUE(isValidUtf8(decodeIcyTitle(bytes))) << bytes;
    }
}

TEST(IcyTitle, StaysOnOneTrimmedLine) {
    EXPECT_EQ(decodeIcyTitle("  Artist\r\n- Song\t "), "Artist  - Song");
    EXPECT_EQ(decodeIcyTitle(" \n "), "");
    EXPECT_EQ(decodeIcyTitle(""), "");
    // Line and paragraph separators and C1 controls would break the strip's one line too.
    EXPECT_EQ(decodeIcyTitle("One\xE2\x80\xA8Two\xC2\x85Three"), "One Two Three");
}

// A tag in the stream has no bound of its own: a title of megabytes is cut where it enters,
// on a character boundary, and says so.
TEST(IcyTitle, IsBoundedInCharacters) {
    const std::string huge(4'000'000, 'x');
    EXPECT_EQ(decodeIcyTitle(huge), std::string(media::kTitleCharacters, 'x') + "\xE2\x80\xA6");
    std::string accented;
    for (int i = 0; i < 3000; ++i) accented += "\xC3\xA9";
    const std::string cut = decodeIcyTitle(accented);
    EXPECT_TRUE(isValidUtf8(cut));
    EXPECT_EQ(cut.size(), media::kTitleCharacters * 2 + 3);
    EXPECT_EQ(decodeIcyTitle(std::string(media::kTitleCharacters, 'y')),
              std::string(media::kTitleCharacters, 'y'));
}

// FFmpeg joins each new part's comments to the ones before with ';'.
TEST(IcyTitle, ChainedStreamShowsTheNewestPart) {
    media::ChainedTitle chained;
    EXPECT_EQ(chained.newest("A"), "A");
    EXPECT_EQ(chained.newest("A;C"), "C");
    EXPECT_EQ(chained.newest("A;C"), "C");  // the same metadata again
    EXPECT_EQ(chained.newest("A;C;A"), "A");
    EXPECT_EQ(chained.newest("A;C;A;B"), "B");
    // A title that holds a ';' without extending the last one is whole.
    EXPECT_EQ(chained.newest("Rock; Roll"), "Rock; Roll");
    chained.forget();
    EXPECT_EQ(chained.newest("Rock; Roll;X"), "Rock; Roll;X");
}
